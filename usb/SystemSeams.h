// The two system queries that Wine cannot answer the way Windows does: the
// bus behind a fixed volume and the OS family. The program always goes
// through these functions; by default they make the real call, and tests put
// a stand-in in their place.
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

// ---- The end of the session, which a test must never reach for real.

// Ends the user's session as ExitWindowsEx does.
using SessionExit = BOOL (*)(UINT flags, DWORD reason);
BOOL ExitSession(UINT flags, DWORD reason);

SessionExit SetSessionExitForTest(SessionExit standIn);
