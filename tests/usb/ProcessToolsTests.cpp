#include <gtest/gtest.h>
#include <windows.h>

#include "usb/ProcessTools.h"

#include <cstring>

namespace {

TEST(FindExeModule, GivesTheProgramFileOfARunningProcess) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    MODULEENTRY32 module;
    memset(&module, 0xCC, sizeof module);
    ASSERT_TRUE(FindExeModule(GetCurrentProcessId(), &module, sizeof module));
    EXPECT_EQ(0, lstrcmpiA(self, module.szExePath));
    EXPECT_EQ(GetCurrentProcessId(), module.th32ProcessID);
    EXPECT_EQ(0, lstrcmpiA(self, GetProcessExePath(GetCurrentProcessId()).c_str()));
}

TEST(FindExeModule, CopiesOnlyTheBytesAskedFor) {
    MODULEENTRY32 module;
    memset(&module, 0xCC, sizeof module);
    ASSERT_TRUE(FindExeModule(GetCurrentProcessId(), &module, 8));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&module);
    for (size_t i = 8; i < sizeof module; ++i) ASSERT_EQ(0xCC, bytes[i]) << "byte " << i;
}

TEST(FindExeModule, FailsForNoProcess) {
    MODULEENTRY32 module = {};
    EXPECT_FALSE(FindExeModule(0, &module, sizeof module));
    EXPECT_EQ("", GetProcessExePath(0));
    // Process ids are multiples of four, so this one never exists.
    EXPECT_FALSE(FindExeModule(0x7FFFFFF3, &module, sizeof module));
}

TEST(Privileges, SwitchANamedPrivilegeOfTheOwnToken) {
    EXPECT_TRUE(EnablePrivilege("SeShutdownPrivilege"));
    EXPECT_TRUE(DisablePrivilege("SeShutdownPrivilege"));
    EXPECT_FALSE(EnablePrivilege("SeNoSuchPrivilege"));
    EXPECT_FALSE(DisablePrivilege("SeNoSuchPrivilege"));
}

TEST(WaitForProcessExit, SeesAnEndedProcessGone) {
    char cmd[] = "cmd.exe /c ping -n 30 127.0.0.1 >nul";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    EXPECT_FALSE(WaitForProcessExit(pi.hProcess, 0));
    ASSERT_TRUE(TerminateProcess(pi.hProcess, 0));
    EXPECT_TRUE(WaitForProcessExit(pi.hProcess, 5000));
    CloseHandle(pi.hProcess);
    EXPECT_FALSE(WaitForProcessExit(nullptr, 0));
}

}  // namespace
