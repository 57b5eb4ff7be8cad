// Small process and token operations shared by safe removal, the memory
// guard and the timed shutdown.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <string>

// Copies `size` bytes (at most a whole record) of the program module record
// of process `processId` to `out`: the first module whose path is an
// existing .exe file. Where the modules cannot be listed (a 64-bit process
// seen from the 32-bit release), the program file is asked for by name
// instead, and only szExePath, szModule, th32ProcessID and dwSize are filled.
bool FindExeModule(DWORD processId, MODULEENTRY32* out, int size);

// The program file of a process by FindExeModule, or "" when it has none.
std::string GetProcessExePath(DWORD processId);

// Switch a named privilege of the current process token; true when the
// system reports no error (so a privilege the account lacks gives false).
bool EnablePrivilege(const char* name);
bool DisablePrivilege(const char* name);

// Waits until `process` (opened with SYNCHRONIZE) has exited, at most
// `timeoutMs`. TerminateProcess only starts the end: the files of a process
// stay open until it is gone.
bool WaitForProcessExit(HANDLE process, DWORD timeoutMs);
