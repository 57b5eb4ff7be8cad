// The system calls that Wine cannot answer the way Windows does (the bus
// behind a fixed volume, the OS family, the volume device controls) or that
// a test must never make for real (the log-off, ending the bench's own
// shell). The program always goes through these functions; by default they
// make the real call, and tests put a stand-in in their place.
#pragma once
#include <windows.h>
#include <winioctl.h>

// Sends IOCTL_STORAGE_QUERY_PROPERTY to an opened volume, as DeviceIoControl
// does with those arguments.
using StoragePropertyQuery = BOOL (*)(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize,
                                      void* output, DWORD outputSize, DWORD* returned);
BOOL QueryStorageProperty(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize, void* output,
                          DWORD outputSize, DWORD* returned);

// Fills `info`, whose size field the caller has set, as GetVersionExA does.
using OsVersionQuery = BOOL (*)(OSVERSIONINFOA* info);
BOOL QueryOsVersion(OSVERSIONINFOA* info);

// For tests only: install a stand-in, or nullptr for the real call again.
// Each returns the function it replaced.
StoragePropertyQuery SetStoragePropertyQueryForTest(StoragePropertyQuery standIn);
OsVersionQuery SetOsVersionQueryForTest(OsVersionQuery standIn);

// ---- Safe removal: the volume device controls, the log-off, the shell's end.

// Sends a volume device control (lock, dismount, media removal, eject) with
// an optional input and no output, as DeviceIoControl does.
using VolumeControl = BOOL (*)(HANDLE volume, DWORD code, void* input, DWORD inputSize);
BOOL SendVolumeControl(HANDLE volume, DWORD code, void* input, DWORD inputSize);

// Ends the user's session as ExitWindowsEx does.
using SessionExit = BOOL (*)(UINT flags, DWORD reason);
BOOL ExitSession(UINT flags, DWORD reason);

// Ends a shell process (a program file named explorer.exe) as
// TerminateProcess does. Only the shell's end goes through here: under a test
// bench the shell may also be the bench's own desktop.
using ShellTermination = BOOL (*)(HANDLE process, DWORD processId, UINT exitCode);
BOOL TerminateShellProcess(HANDLE process, DWORD processId, UINT exitCode);

VolumeControl SetVolumeControlForTest(VolumeControl standIn);
SessionExit SetSessionExitForTest(SessionExit standIn);
ShellTermination SetShellTerminationForTest(ShellTermination standIn);
