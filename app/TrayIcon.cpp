#include "app/TrayIcon.h"

#include <cstring>

#include "res/resource.h"
#include "ui/Strings.h"

NOTIFYICONDATAA g_trayIcon;

void FillTrayIconData(NOTIFYICONDATAA& data, HWND window) {
    memset(&data, 0, sizeof data);
    // The first version of the record, which every shell understands.
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    std::string tip = ui::LoadString(IDS_SHIELD_ACTIVE);
    // The first version's tip field holds 64 characters with the terminator.
    lstrcpynA(data.szTip, tip.c_str(), 64);
}

namespace {

void AddFrom(NOTIFYICONDATAA& data, HWND window) {
    FillTrayIconData(data, window);
    Shell_NotifyIconA(NIM_ADD, &data);  // a missing taskbar is retried by the tray watch
    if (data.hIcon) DestroyIcon(data.hIcon);
    data.hIcon = nullptr;
}

}  // namespace

void AddTrayIcon(HWND window) {
    AddFrom(g_trayIcon, window);
}

void DeleteTrayIcon() {
    if (g_trayIcon.hWnd) Shell_NotifyIconA(NIM_DELETE, &g_trayIcon);
}

void ReaddTrayIcon(HWND window) {
    NOTIFYICONDATAA own;
    AddFrom(own, window);
}
