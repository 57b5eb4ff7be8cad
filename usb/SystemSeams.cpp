#include "usb/SystemSeams.h"

#include <atomic>

namespace {

BOOL RealStoragePropertyQuery(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize, void* output,
                              DWORD outputSize, DWORD* returned) {
    return DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, query, querySize, output, outputSize, returned,
                           nullptr);
}

BOOL RealOsVersionQuery(OSVERSIONINFOA* info) { return GetVersionExA(info); }

// Atomic because the drive list is also asked for from worker threads.
std::atomic<StoragePropertyQuery> g_storagePropertyQuery{RealStoragePropertyQuery};
std::atomic<OsVersionQuery> g_osVersionQuery{RealOsVersionQuery};

}  // namespace

BOOL QueryStorageProperty(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize, void* output,
                          DWORD outputSize, DWORD* returned) {
    return g_storagePropertyQuery.load()(volume, query, querySize, output, outputSize, returned);
}

BOOL QueryOsVersion(OSVERSIONINFOA* info) { return g_osVersionQuery.load()(info); }

StoragePropertyQuery SetStoragePropertyQueryForTest(StoragePropertyQuery standIn) {
    return g_storagePropertyQuery.exchange(standIn ? standIn : RealStoragePropertyQuery);
}

OsVersionQuery SetOsVersionQueryForTest(OsVersionQuery standIn) {
    return g_osVersionQuery.exchange(standIn ? standIn : RealOsVersionQuery);
}

namespace {

BOOL RealSessionExit(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }

std::atomic<SessionExit> g_sessionExit{RealSessionExit};

}  // namespace

BOOL ExitSession(UINT flags, DWORD reason) { return g_sessionExit.load()(flags, reason); }

SessionExit SetSessionExitForTest(SessionExit standIn) {
    return g_sessionExit.exchange(standIn ? standIn : RealSessionExit);
}
