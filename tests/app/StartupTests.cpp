#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "app/GuardApp.h"
#include "app/MainDialog.h"
#include "tests/common/TestSupport.h"
#include "ui/Controls.h"

namespace {

const char* const kTestKey = "Software\\VantorixTests\\Settings";

std::string ReadString(HKEY key, const char* name, bool* found) {
    char value[256] = {};
    DWORD size = sizeof value - 1;
    *found = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
    return value;
}

TEST(LastCheck, WritesTodayOnlyWhenTheStoredDayIsMissingZeroOrMoreThanSevenAway) {
    struct Case {
        const char* stored;  // null: no value
        int today;
        bool writes;
    };
    const Case cases[] = {
        {"31", 24, false}, {"31", 23, true}, {"24", 31, false}, {"28", 3, true},
        {"abc", 5, true},  {nullptr, 9, true}, {"0", 1, true},   {"12", 12, false},
    };
    for (const Case& c : cases) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegDeleteValueA(key, "lastcheck");
        if (c.stored)
            RegSetValueExA(key, "lastcheck", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.stored),
                           static_cast<DWORD>(strlen(c.stored) + 1));
        std::string label = std::string(c.stored ? c.stored : "(none)") + " on the " + std::to_string(c.today);
        EXPECT_EQ(c.writes, RecordLastCheckOn(key, c.today)) << label;
        bool found = false;
        std::string now = ReadString(key, "lastcheck", &found);
        EXPECT_TRUE(found || !c.writes) << label;
        EXPECT_EQ(c.writes ? std::to_string(c.today) : std::string(c.stored ? c.stored : ""), now) << label;
        RegCloseKey(key);
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VantorixTests");
}

TEST(LastCheck, AValueTooLongForItsBufferCountsAsMissing) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    std::string tooLong = "20" + std::string(150, ' ');
    RegSetValueExA(key, "lastcheck", 0, REG_SZ, reinterpret_cast<const BYTE*>(tooLong.c_str()),
                   static_cast<DWORD>(tooLong.size() + 1));
    EXPECT_TRUE(RecordLastCheckOn(key, 20));
    RegCloseKey(key);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VantorixTests");
}

// The settings key, replaced for one test and removed afterwards.
class SettingsKey {
public:
    // locked: nobody may open it, as for a user without rights on the machine's hive.
    explicit SettingsKey(bool locked, bool autorunAsked = true) {
        Remove();
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        if (autorunAsked) RegSetValueExA(key, "autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
        if (locked) SetDacl(key, true);
        RegCloseKey(key);
    }
    ~SettingsKey() { Remove(); }

    static bool Read(const char* name, std::string* value) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        bool found = false;
        *value = ReadString(key, name, &found);
        RegCloseKey(key);
        return found;
    }

private:
    static void SetDacl(HKEY key, bool denyAll) {
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        ACL empty;
        InitializeAcl(&empty, sizeof empty, ACL_REVISION);
        // An empty list denies everyone; no list at all allows everyone.
        SetSecurityDescriptorDacl(&sd, TRUE, denyAll ? &empty : nullptr, FALSE);
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    }
    static void Remove() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
            SetDacl(key, false);
            RegCloseKey(key);
        }
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH);
    }
};

TEST(Startup, UnopenableSettingsKeyGivesNoPopUpAndTheMainWindowRunsNormally) {
    SettingsKey settings(/*locked=*/true);
    HKEY probe;
    ASSERT_NE(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &probe, nullptr))
        << "the sandbox must be able to lock the key";
    GuardApp app;
    bool mainWindowRan = false;
    vxtest::RunInsideModalLoop([&] { EXPECT_FALSE(app.InitInstance()); }, [&] {
        EXPECT_EQ(nullptr, app.Popup().Hwnd()) << "no pop-up without the settings key";
        mainWindowRan = g_pMainDialog && IsWindow(g_hMainWnd) &&
                        vxtest::PumpUntil([] { return !IsWindowVisible(g_hMainWnd); });
        g_pMainDialog->OnTrayExit();
    });
    EXPECT_TRUE(mainWindowRan);
    EXPECT_TRUE(vxtest::ShownMessages().empty());
    EXPECT_EQ(0, app.ExitInstance());
}

TEST(Startup, WithTheSettingsKeyThePopUpShowsAboveTheTaskbarAndItsTimerHidesIt) {
    SettingsKey settings(/*locked=*/false);
    ASSERT_TRUE(FindWindowA("Shell_TrayWnd", nullptr)) << "the sandbox display has a taskbar window";
    GuardApp app;
    DWORD started = GetTickCount();
    vxtest::RunInsideModalLoop([&] { app.InitInstance(); }, [&] {
        HWND popup = app.Popup().Hwnd();
        ASSERT_NE(nullptr, popup);
        EXPECT_TRUE(IsWindowVisible(popup));
        EXPECT_EQ("Resident Shield is active", ui::GetWindowTextString(GetDlgItem(popup, IDC_POPUP_TEXT)));
        EXPECT_EQ("Active", ui::GetWindowTextString(GetDlgItem(popup, IDC_POPUP_STATE)));
        RECT taskbar, desktop, placed;
        GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &taskbar);
        GetWindowRect(GetDesktopWindow(), &desktop);
        GetWindowRect(popup, &placed);
        EXPECT_EQ(desktop.right, placed.right);
        EXPECT_EQ(taskbar.top, placed.bottom);
        // Its own timer, set for three seconds during start-up, hides it.
        EXPECT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(popup); }, 10000)) << "the timer never hid it";
        EXPECT_GE(GetTickCount() - started, 2900u) << "hidden before its three seconds were over";
        EXPECT_TRUE(IsWindow(popup)) << "hidden, not destroyed";
        g_pMainDialog->OnTrayExit();
    });
    std::string day;
    EXPECT_TRUE(SettingsKey::Read("lastcheck", &day));
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(std::to_string(now.wDay), day);
    app.ExitInstance();
}

// The optional skin library beside the program: loaded at start-up, given
// the UI thread's id and the skin file beside it, told to exit at the end.
// A stand-in library beside the build tree's executables would be loaded by
// every program started from there, so the test runs in a private copy of
// this executable, in a folder of the sandbox's own drive C: that nothing
// else runs from and that goes with the sandbox even if this process dies.
const char kSkinChild[] = "VX_SKIN_TEST_CHILD";

bool InSkinChild() {
    char value[8] = {};
    return GetEnvironmentVariableA(kSkinChild, value, sizeof value) > 0;
}

void CheckSkinLibraryCalls() {
    SettingsKey settings(/*locked=*/false);
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string folder(module, strrchr(module, '\\') + 1);
    std::string skinLibrary = folder + "SkinLoad.dll";
    ASSERT_TRUE(vxtest::FileExists(skinLibrary)) << "the stand-in lies beside this copy";

    GuardApp app;
    vxtest::RunInsideModalLoop([&] { app.InitInstance(); }, [&] { g_pMainDialog->OnTrayExit(); });
    HMODULE skin = app.SkinLibrary();
    ASSERT_NE(nullptr, skin);
    using RecordedFn = const char* (*)();
    auto recorded = reinterpret_cast<RecordedFn>(reinterpret_cast<void*>(GetProcAddress(skin, "RecordedSkinCalls")));
    ASSERT_NE(nullptr, recorded);
    std::string expected = "InitSkinLoad(" + std::to_string(GetCurrentThreadId()) + ");LoadSkin(" + folder +
                           "xp_normal.skin);";
    EXPECT_EQ(expected, recorded());

    // ExitInstance calls ExitSkin, then frees the library; keep it loaded to read the record.
    HMODULE keep = LoadLibraryA(skinLibrary.c_str());
    HWND popup = app.Popup().Hwnd(), notice = app.UpdateNotice().Hwnd();
    ASSERT_NE(nullptr, popup);
    ASSERT_NE(nullptr, notice);
    EXPECT_EQ(0, app.ExitInstance());
    EXPECT_EQ(nullptr, app.SkinLibrary());
    EXPECT_EQ(expected + "ExitSkin();", recorded());
    // The skin goes last: after every window that it may have subclassed.
    using ExistedFn = int(WINAPI*)(HWND);
    auto existed = reinterpret_cast<ExistedFn>(
        reinterpret_cast<void*>(GetProcAddress(skin, "WindowExistedAtExitSkin")));
    ASSERT_NE(nullptr, existed);
    EXPECT_FALSE(existed(popup)) << "the status pop-up";
    EXPECT_FALSE(existed(notice)) << "the update notice";
    FreeLibrary(keep);
}

// The private folder and its files, removed however the test ends.
class PrivateFolder {
public:
    PrivateFolder() : m_path("C:\\vx-skin-test-" + std::to_string(GetCurrentProcessId()) + "\\") {
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~PrivateFolder() {
        for (const std::string& file : vxtest::ListFolder(m_path)) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        RemoveDirectoryA(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

TEST(Startup, SkinLibraryBesideTheProgramIsLoadedInitialisedAndExited) {
    if (InSkinChild()) {
        CheckSkinLibraryCalls();
        return;
    }
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string buildFolder(module, strrchr(module, '\\') + 1);
    PrivateFolder folder;
    std::string copy = folder.Path() + (strrchr(module, '\\') + 1);
    ASSERT_TRUE(CopyFileA(module, copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((buildFolder + "fixtures\\SkinLoad.dll").c_str(), (folder.Path() + "SkinLoad.dll").c_str(),
                          FALSE));

    std::string command = "\"" + copy + "\" --gtest_filter=Startup.SkinLibraryBesideTheProgramIsLoadedInitialisedAndExited";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    SetEnvironmentVariableA(kSkinChild, "1");
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.Path().c_str(),
                                  &start, &child);
    SetEnvironmentVariableA(kSkinChild, nullptr);
    ASSERT_TRUE(started) << GetLastError();
    bool ended = WaitForSingleObject(child.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, 10000);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    EXPECT_TRUE(ended) << "the copy did not end within two minutes";
    EXPECT_EQ(0u, code) << "the skin test failed in the copy (its output is above)";
    EXPECT_FALSE(vxtest::FileExists(buildFolder + "SkinLoad.dll")) << "never beside the build tree's programs";
}

// The program itself, started twice from the build drive.
class RunningProgram {
public:
    RunningProgram() {
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        char command[] = "W:\\Vantorix.exe";
        started = CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, "W:\\", &start, &process) != 0;
    }
    ~RunningProgram() {
        if (!started) return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    bool started = false;
    PROCESS_INFORMATION process = {};
};

HWND FindMarkedWindow(int* count) {
    struct Search {
        HWND found;
        int count;
    } search = {nullptr, 0};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetPropA(window, "Vantorix")) {
                s->found = window;
                ++s->count;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (count) *count = search.count;
    return search.found;
}

TEST(SingleInstance, SecondStartRestoresTheHiddenFirstWindowAndExits) {
    SettingsKey settings(/*locked=*/false);
    RunningProgram first;
    ASSERT_TRUE(first.started);
    HWND window = nullptr;
    ASSERT_TRUE(vxtest::PumpUntil([&] { return (window = FindMarkedWindow(nullptr)) != nullptr; }, 20000));
    // Start-up is over once its loop idles; by then the posted close has hidden it.
    WaitForInputIdle(first.process.hProcess, 20000);
    // Found from its creation on, it shows once initialised, then hides.
    vxtest::PumpUntil([&] { return IsWindowVisible(window) != FALSE; }, 2000);
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(window); }, 20000))
        << "the first instance settles hidden in the notification area";

    RunningProgram second;
    ASSERT_TRUE(second.started);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.process.hProcess, 20000));
    DWORD code = 1;
    GetExitCodeProcess(second.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(IsWindowVisible(window)) << "the first window is restored";
    int marked = 0;
    FindMarkedWindow(&marked);
    EXPECT_EQ(1, marked) << "the second start made no window of its own";

    PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.process.hProcess, 20000));
}

}  // namespace
