#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <functional>
#include <string>

#include "app/MainDialog.h"
#include "tests/common/TestSupport.h"
#include "usb/Immunity.h"
#include "usb/ProcessTools.h"
#include "usb/SystemSeams.h"

namespace {

const char POLICIES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char SHELL_STAND_IN[] = "C:\\vxtrayshell\\explorer.exe";

// No volume can be locked: every drive gets the log-off question.
BOOL LockFails(HANDLE, DWORD code, void*, DWORD) {
    EXPECT_EQ(DWORD(FSCTL_LOCK_VOLUME), code);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// The tray menu's tools commands, chosen while the real main window is
// hidden in the notification area.
class TrayToolCommands : public testing::Test {
protected:
    void SetUp() override {
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    void TearDown() override {
        for (const char* root : {"C:\\", "E:\\", "F:\\", "G:\\", "W:\\"}) CancelDriveImmunity(root);
        RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY);
        vxtest::EmptyFolder("C:\\vxtrayshell");
        RemoveDirectoryA("C:\\vxtrayshell");
    }

    void Run(const std::function<void()>& script) {
        vxtest::RunInsideModalLoop([&] { dialog.DoModal(); }, [&] {
            ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
            script();
            if (dialog.IsModal()) dialog.OnTrayExit();
        });
    }

    void Choose(UINT command) { SendMessageA(dialog.Hwnd(), WM_COMMAND, command, 0); }

    MainDialog dialog;
};

TEST_F(TrayToolCommands, ImmunityShowsItsMessagesAndTheWindowStaysHidden) {
    vxtest::WriteFile("E:\\AUTORUN.INF", "[autorun]\r\n");
    Run([&] {
        vxtest::ExpectMessage("There may be virus on the root directory: E:\\ \r\nPlease use Antivirus software to "
                              "scan your computer!");
        vxtest::ExpectMessage("Your computer and USB storage are immune from virus");
        Choose(ID_TRAY_IMMUNIZE);
        vxtest::PumpFor(200);
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
        EXPECT_TRUE(GetFileAttributesA("F:\\AUTORUN.INF\\ReadMe.txt") != INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(GetFileAttributesA("E:\\AUTORUN.INF") & FILE_ATTRIBUTE_DIRECTORY);
    });
    vxtest::EmptyFolder("W:\\quarantine");
    RemoveDirectoryA("W:\\quarantine");
}

TEST_F(TrayToolCommands, SafeRemovalAsksAndTheWindowStaysHiddenWithItsIconAndAShellAgain) {
    CreateDirectoryA("C:\\vxtrayshell", nullptr);
    ASSERT_TRUE(CopyFileA("W:\\fixtures\\StandInProgram.exe", SHELL_STAND_IN, FALSE));
    char commandLine[] = "\"C:\\vxtrayshell\\explorer.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION shell = {};
    ASSERT_TRUE(CreateProcessA(SHELL_STAND_IN, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &shell));
    CloseHandle(shell.hThread);
    ASSERT_TRUE(vxtest::PumpUntil([&] { return GetProcessExePath(shell.dwProcessId) == SHELL_STAND_IN; }));
    VolumeControl replaced = SetVolumeControlForTest(LockFails);

    DWORD restarted = 0;
    Run([&] {
        vxtest::ExpectMessage("Have you exited all the programs that are using USB disk?", IDOK);
        const char logOff[] = "You should log off the current user to safely remove USB storage device.";
        vxtest::ExpectMessage(logOff, IDCANCEL);
        vxtest::ExpectMessage(logOff, IDCANCEL);
        Choose(ID_TRAY_SAFE_REMOVE);
        vxtest::PumpFor(200);
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
        EXPECT_TRUE(vxtest::TrayIconPresent(dialog.Hwnd()));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(shell.hProcess, 0)) << "the shell was ended";
        // A process with the shell's path runs again.
        vxtest::PumpUntil([&] {
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32 entry = {};
            entry.dwSize = sizeof entry;
            for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
                if (entry.th32ProcessID != shell.dwProcessId && GetProcessExePath(entry.th32ProcessID) == SHELL_STAND_IN)
                    restarted = entry.th32ProcessID;
            CloseHandle(snapshot);
            return restarted != 0;
        });
    });
    SetVolumeControlForTest(replaced);
    CloseHandle(shell.hProcess);
    EXPECT_NE(0u, restarted) << "the shell was not started again";
    if (HANDLE again = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, restarted)) {
        TerminateProcess(again, 0);
        WaitForSingleObject(again, 5000);
        CloseHandle(again);
    }
}

}  // namespace
