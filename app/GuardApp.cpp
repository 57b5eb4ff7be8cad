#include "app/GuardApp.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/MainDialog.h"
#include "res/resource.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "usb/DriveInventory.h"

const char* const SETTINGS_KEY_PATH = "SOFTWARE\\Brisquandel";

namespace {

// The skin library's entry points: standard calling convention, results ignored.
using InitSkinLoadFn = int(WINAPI*)(DWORD threadId);
using LoadSkinFn = int(WINAPI*)(const char* skinPath);
using ExitSkinFn = int(WINAPI*)();

template <typename Fn>
Fn SkinEntry(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

bool RecordLastCheckOn(HKEY key, int today) {
    char day[16];
    snprintf(day, sizeof day, "%d", today);
    char stored[100] = {};
    DWORD size = sizeof stored - 1;  // a value that does not fit counts as missing
    DWORD type = 0;
    bool found = RegQueryValueExA(key, "lastcheck", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) ==
                 ERROR_SUCCESS;
    int storedDay = found ? atoi(stored) : 0;
    if (found && storedDay != 0 && abs(today - storedDay) <= 7) return false;
    RegSetValueExA(key, "lastcheck", 0, REG_SZ, reinterpret_cast<const BYTE*>(day),
                   static_cast<DWORD>(strlen(day) + 1));
    return true;
}

bool RecordLastCheck(HKEY key) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return RecordLastCheckOn(key, now.wDay);
}

BOOL GuardApp::InitInstance() {
    // An existence marker only, never waited on; the first instance holds it
    // as long as the application object lives, i.e. until the process ends.
    m_instanceMarker.Reset(CreateSemaphoreA(nullptr, 1, 1, Name().c_str()));
    if (m_instanceMarker && GetLastError() == ERROR_ALREADY_EXISTS) {
        m_instanceMarker.Reset();
        ActivateRunningInstance();
        return FALSE;
    }

    ui::ScopedRegKey settings;
    bool haveSettings = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &settings.Out(), nullptr) == ERROR_SUCCESS;
    if (haveSettings) {
        HMODULE module = GetModuleHandleA(nullptr);
        char path[256] = {};
        DWORD length = GetModuleFileNameA(module, path, sizeof path);
        if (!module || length == 0 || length >= sizeof path) {
            ui::ShowMessage(IDS_ERROR, MB_OK);
            return FALSE;
        }
        // The program folder: the module path less "<name>.exe".
        size_t cut = Name().size() + 4;
        std::string folder(path, length > cut ? length - cut : 0);
        std::string skinLibrary = folder + "SkinLoad.dll";
        std::string skinFile = folder + "xp_normal.skin";

        m_hSkinLib = LoadLibraryA(skinLibrary.c_str());
        if (m_hSkinLib) {
            auto initSkin = SkinEntry<InitSkinLoadFn>(m_hSkinLib, "InitSkinLoad");
            auto loadSkin = SkinEntry<LoadSkinFn>(m_hSkinLib, "LoadSkin");
            if (initSkin && loadSkin) {
                initSkin(GetCurrentThreadId());
                loadSkin(skinFile.c_str());
            }
        }

        AskDisableAutorun(settings);

        m_statusPopup.Create(nullptr);
        if (FindWindowA("Shell_TrayWnd", nullptr)) PlaceStatusPopup();
        m_updateNotice.Create(nullptr);
        RecordLastCheck(settings);
        settings.Reset();
    }

    MainDialog dialog;
    SetMainWindow(&dialog);
    dialog.DoModal();
    SetMainWindow(nullptr);
    return FALSE;
}

void GuardApp::ActivateRunningInstance() {
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); IsWindow(window);
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (!GetPropA(window, Name().c_str())) continue;
        ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        SetForegroundWindow(GetLastActivePopup(window));
        return;
    }
}

void GuardApp::PlaceStatusPopup() {
    RECT taskbar = {}, desktop = {}, popup = {};
    GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &taskbar);
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(m_statusPopup.Hwnd(), &popup);
    int width = popup.right - popup.left, height = popup.bottom - popup.top;
    ShowWindow(m_statusPopup.Hwnd(), SW_SHOW);
    SetWindowPos(m_statusPopup.Hwnd(), HWND_TOP, desktop.right - width, taskbar.top - height, width, height,
                 SWP_SHOWWINDOW);
}

int GuardApp::ExitInstance() {
    // The skin may have subclassed any of our windows: they all go before it.
    m_statusPopup.DestroyWindow();
    m_updateNotice.DestroyWindow();
    if (m_hSkinLib) {
        auto exitSkin = SkinEntry<ExitSkinFn>(m_hSkinLib, "ExitSkin");
        if (exitSkin) exitSkin();
        FreeLibrary(m_hSkinLib);
        m_hSkinLib = nullptr;
    }
    return App::ExitInstance();
}
