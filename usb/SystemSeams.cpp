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

namespace {

BOOL RealVolumeControl(HANDLE volume, DWORD code, void* input, DWORD inputSize) {
    DWORD returned = 0;
    return DeviceIoControl(volume, code, input, inputSize, nullptr, 0, &returned, nullptr);
}

BOOL RealSessionExit(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }

BOOL RealShellTermination(HANDLE process, DWORD, UINT exitCode) { return TerminateProcess(process, exitCode); }

std::atomic<VolumeControl> g_volumeControl{RealVolumeControl};
std::atomic<SessionExit> g_sessionExit{RealSessionExit};
std::atomic<ShellTermination> g_shellTermination{RealShellTermination};

}  // namespace

BOOL SendVolumeControl(HANDLE volume, DWORD code, void* input, DWORD inputSize) {
    return g_volumeControl.load()(volume, code, input, inputSize);
}

BOOL ExitSession(UINT flags, DWORD reason) { return g_sessionExit.load()(flags, reason); }

BOOL TerminateShellProcess(HANDLE process, DWORD processId, UINT exitCode) {
    return g_shellTermination.load()(process, processId, exitCode);
}

VolumeControl SetVolumeControlForTest(VolumeControl standIn) {
    return g_volumeControl.exchange(standIn ? standIn : RealVolumeControl);
}

SessionExit SetSessionExitForTest(SessionExit standIn) {
    return g_sessionExit.exchange(standIn ? standIn : RealSessionExit);
}

ShellTermination SetShellTerminationForTest(ShellTermination standIn) {
    return g_shellTermination.exchange(standIn ? standIn : RealShellTermination);
}
