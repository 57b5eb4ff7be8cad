#include "tests/usb/UsbTestSupport.h"

#include <gtest/gtest.h>

#include "usb/DriveInventory.h"

#include <cstring>

namespace usbtest {

std::string ListUsbDrives() {
    const char GUARD = '\xCD';
    struct {
        char before[8];
        char letters[DRIVE_LIST_CAPACITY];
        char after[8];
    } buffer;
    memset(&buffer, GUARD, sizeof buffer);
    memset(buffer.letters, 0, sizeof buffer.letters);

    int count = GetUsbDriveLetters(buffer.letters);

    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(GUARD, buffer.before[i]) << "written before the list at " << i;
        EXPECT_EQ(GUARD, buffer.after[i]) << "written past the list at " << i;
    }
    EXPECT_GE(count, 0);
    EXPECT_LE(count, DRIVE_LIST_CAPACITY);
    if (count < 0 || count > DRIVE_LIST_CAPACITY) return "";
    for (int i = count; i < DRIVE_LIST_CAPACITY; ++i)
        EXPECT_EQ(0, buffer.letters[i]) << "written past the count at " << i;
    return std::string(buffer.letters, count);
}

std::string RecordedFixedDrives() { return std::string(g_szFixedDrives, strnlen(g_szFixedDrives, DRIVE_LIST_CAPACITY)); }

namespace {

STORAGE_BUS_TYPE g_reportedBus;
bool g_querySucceeds;
int g_queries;
bool g_dataAccess;

// The access a handle was opened with (NtQueryObject, ObjectBasicInformation).
ACCESS_MASK GrantedAccess(HANDLE handle) {
    struct BasicInformation {
        ULONG attributes;
        ACCESS_MASK grantedAccess;
        ULONG rest[12];
    } info = {};
    using NtQueryObjectFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<NtQueryObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    EXPECT_NE(nullptr, query);
    ULONG size = 0;
    if (!query || query(handle, 0, &info, sizeof info, &size) != 0) {
        ADD_FAILURE() << "the volume handle's access cannot be read";
        return 0;
    }
    return info.grantedAccess;
}

BOOL ReportBusType(HANDLE volume, STORAGE_PROPERTY_QUERY* query, DWORD querySize, void* output, DWORD outputSize,
                   DWORD* returned) {
    ++g_queries;
    if (GrantedAccess(volume) & (FILE_READ_DATA | FILE_WRITE_DATA | GENERIC_READ | GENERIC_WRITE)) g_dataAccess = true;
    EXPECT_NE(INVALID_HANDLE_VALUE, volume);
    EXPECT_EQ(12u, querySize);
    EXPECT_EQ(StorageDeviceProperty, query->PropertyId);
    EXPECT_EQ(PropertyStandardQuery, query->QueryType);
    EXPECT_EQ(551u, outputSize);
    auto* descriptor = static_cast<STORAGE_DEVICE_DESCRIPTOR*>(output);
    EXPECT_EQ(551u, descriptor->Size);
    if (!g_querySucceeds) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    descriptor->Version = sizeof *descriptor;
    descriptor->BusType = g_reportedBus;
    *returned = sizeof *descriptor;
    return TRUE;
}

}  // namespace

BusTypeStandIn::BusTypeStandIn(STORAGE_BUS_TYPE bus, bool succeeds) {
    g_reportedBus = bus;
    g_querySucceeds = succeeds;
    g_queries = 0;
    g_dataAccess = false;
    m_replaced = SetStoragePropertyQueryForTest(ReportBusType);
}

bool BusTypeStandIn::OpenedWithDataAccess() const { return g_dataAccess; }

BusTypeStandIn::~BusTypeStandIn() { SetStoragePropertyQueryForTest(m_replaced); }

int BusTypeStandIn::Queries() const { return g_queries; }

}  // namespace usbtest
