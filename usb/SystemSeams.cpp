#include "usb/SystemSeams.h"

#include <atomic>

namespace {

BOOL RealStoragePropertyQuery(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize, void* output,
                              DWORD outputSize, DWORD* returned) {
    return DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, query, querySize, output, outputSize, returned,
                           nullptr);
}

// The version does not change while the process runs: asked once, the
// first time (every fixed drive of every drive check asks for the family).
BOOL RealOsVersionQuery(OSVERSIONINFOA* info) {
    struct Asked {
        OSVERSIONINFOA info;
        BOOL ok;
        Asked() : info(), ok(FALSE) {
            info.dwOSVersionInfoSize = sizeof info;
            ok = GetVersionExA(&info);
        }
    };
    static const Asked asked;  // thread-safe initialisation
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return GetVersionExA(info);
    if (!asked.ok) return FALSE;
    *info = asked.info;
    return TRUE;
}

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
