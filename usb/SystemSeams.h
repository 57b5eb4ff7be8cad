// The two system queries that Wine cannot answer the way Windows does (the
// bus behind a fixed volume and the OS family) and the end of the session,
// which must never be reached from a test. The program always goes through
// these functions; by default they make the real call, and tests put a
// stand-in in their place.
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

// Ends the session as ExitWindowsEx does (shutdown, log-off).
using ExitWindowsCall = BOOL (*)(UINT flags, DWORD reason);
BOOL ExitWindowsSeam(UINT flags, DWORD reason);

// For tests only: install a stand-in, or nullptr for the real call again.
// Each returns the function it replaced.
StoragePropertyQuery SetStoragePropertyQueryForTest(StoragePropertyQuery standIn);
OsVersionQuery SetOsVersionQueryForTest(OsVersionQuery standIn);
ExitWindowsCall SetExitWindowsForTest(ExitWindowsCall standIn);
