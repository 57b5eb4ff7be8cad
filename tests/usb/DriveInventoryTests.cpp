#include <gtest/gtest.h>
#include <windows.h>

#include "tests/common/TestSupport.h"
#include "tests/usb/UsbTestSupport.h"
#include "usb/DriveInventory.h"

#include <cstring>

using usbtest::BusTypeStandIn;
using vxtest::DosDeviceOverride;
using usbtest::ListUsbDrives;
using usbtest::RecordedFixedDrives;
using vxtest::PlatformStandIn;

// The main sandbox: C: G: W: fixed, E: F: removable, H: CD-ROM, N: network.
class DriveInventoryTest : public testing::Test {
protected:
    void SetUp() override { memcpy(m_savedFixedDrives, g_szFixedDrives, sizeof m_savedFixedDrives); }
    void TearDown() override { memcpy(g_szFixedDrives, m_savedFixedDrives, sizeof m_savedFixedDrives); }

    static void SetFixedDrivesAtStartup(const char* letters) {
        memset(g_szFixedDrives, 0, sizeof g_szFixedDrives);
        memcpy(g_szFixedDrives, letters, strlen(letters));
    }

private:
    char m_savedFixedDrives[DRIVE_LIST_CAPACITY];
};

TEST_F(DriveInventoryTest, RemovableDrivesAreListedInAscendingOrder) {
    // Under Wine every volume reports a SCSI bus, so only E: and F: qualify.
    EXPECT_EQ("EF", ListUsbDrives());
}

struct BusCase {
    const char* name;
    STORAGE_BUS_TYPE bus;
    bool querySucceeds;
    const char* expected;
};

class FixedDriveBusTest : public DriveInventoryTest, public testing::WithParamInterface<BusCase> {};

TEST_P(FixedDriveBusTest, FixedDriveIsListedOnlyOnUsbBus) {
    BusTypeStandIn bus(GetParam().bus, GetParam().querySucceeds);
    EXPECT_EQ(GetParam().expected, ListUsbDrives());
    // Only the fixed drives C: G: W: are asked; CD-ROM and network never are.
    EXPECT_EQ(3, bus.Queries());
}

INSTANTIATE_TEST_SUITE_P(, FixedDriveBusTest,
                         testing::Values(BusCase{"Usb", BusTypeUsb, true, "CEFGW"},
                                         BusCase{"Scsi", BusTypeScsi, true, "EF"},
                                         BusCase{"Ata", BusTypeAta, true, "EF"},
                                         BusCase{"Unknown", BusTypeUnknown, true, "EF"},
                                         BusCase{"QueryFails", BusTypeUsb, false, "EF"}),
                         [](const testing::TestParamInfo<BusCase>& info) { return info.param.name; });

TEST_F(DriveInventoryTest, TheBusQueryOpensTheVolumeWithoutDataAccess) {
    BusTypeStandIn bus(BusTypeUsb);
    EXPECT_EQ("CEFGW", ListUsbDrives());
    ASSERT_GT(bus.Queries(), 0);
    EXPECT_FALSE(bus.OpenedWithDataAccess()) << "a standard user may not open a volume for reading";
}

TEST_F(DriveInventoryTest, FixedDriveWhoseVolumeCannotBeOpenedIsNotListed) {
    BusTypeStandIn bus(BusTypeUsb);
    DosDeviceOverride unreachable('G', "\\Device\\VantorixNoSuchVolume");
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("G:"));

    EXPECT_EQ("CEFW", ListUsbDrives());
    EXPECT_EQ(2, bus.Queries()) << "the query is only sent to volumes that opened";
}

TEST_F(DriveInventoryTest, CdRomAndNetworkDrivesAreNeverListed) {
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA("H:"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOTE), GetDriveTypeA("N:"));
    // Whatever the bus or the platform says.
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        PlatformStandIn os(platform);
        BusTypeStandIn bus(BusTypeUsb);
        SetFixedDrivesAtStartup("");
        std::string letters = ListUsbDrives();
        EXPECT_EQ(std::string::npos, letters.find_first_of("HN")) << letters;
    }
}

TEST_F(DriveInventoryTest, NoQualifyingDriveLeavesTheListZeroed) {
    DosDeviceOverride noE('E');
    DosDeviceOverride noF('F');
    ASSERT_EQ(0u, GetLogicalDrives() & (1u << ('E' - 'A') | 1u << ('F' - 'A')));

    EXPECT_EQ("", ListUsbDrives());
}

TEST_F(DriveInventoryTest, RecordFixedDrivesListsEveryFixedDriveInOrder) {
    memset(g_szFixedDrives, 'x', sizeof g_szFixedDrives);
    RecordFixedDrives();
    EXPECT_EQ("CGW", RecordedFixedDrives());
    for (int i = 3; i < DRIVE_LIST_CAPACITY; ++i) EXPECT_EQ(0, g_szFixedDrives[i]) << i;
}

// The start-up walk records the fixed drives and lists the USB drives in one
// pass, with the results of RecordFixedDrives then GetUsbDriveLetters.
struct StartupWalkCase {
    const char* name;
    DWORD platform;
    STORAGE_BUS_TYPE bus;
    const char* usb;
    int busQueries;
};

class StartupWalkTest : public DriveInventoryTest, public testing::WithParamInterface<StartupWalkCase> {};

TEST_P(StartupWalkTest, RecordsFixedDrivesAndListsUsbDrivesInOneWalk) {
    PlatformStandIn os(GetParam().platform);
    BusTypeStandIn bus(GetParam().bus);
    memset(g_szFixedDrives, 'x', sizeof g_szFixedDrives);
    char letters[DRIVE_LIST_CAPACITY + 1] = {};
    letters[DRIVE_LIST_CAPACITY] = '#';
    int count = RecordFixedDrivesAndGetUsbDriveLetters(letters);

    EXPECT_EQ("CGW", RecordedFixedDrives());
    for (int i = 3; i < DRIVE_LIST_CAPACITY; ++i) EXPECT_EQ(0, g_szFixedDrives[i]) << i;
    ASSERT_GE(count, 0);
    EXPECT_EQ(GetParam().usb, std::string(letters, static_cast<size_t>(count)));
    for (int i = count; i < DRIVE_LIST_CAPACITY; ++i) EXPECT_EQ(0, letters[i]) << i;
    EXPECT_EQ('#', letters[DRIVE_LIST_CAPACITY]);
    // Each fixed volume is opened once, and only where the bus can be asked.
    EXPECT_EQ(GetParam().busQueries, bus.Queries());
    // The same answer as the two walks.
    EXPECT_EQ(GetParam().usb, ListUsbDrives());
}

INSTANTIATE_TEST_SUITE_P(, StartupWalkTest,
                         testing::Values(StartupWalkCase{"NtUsb", VER_PLATFORM_WIN32_NT, BusTypeUsb, "CEFGW", 3},
                                         StartupWalkCase{"NtScsi", VER_PLATFORM_WIN32_NT, BusTypeScsi, "EF", 3},
                                         StartupWalkCase{"NineX", VER_PLATFORM_WIN32_WINDOWS, BusTypeUsb, "EF", 0}),
                         [](const testing::TestParamInfo<StartupWalkCase>& info) { return info.param.name; });

// The Windows 9x family cannot tell the bus: a fixed drive counts when it
// was not there at start-up.
class NineXFamilyTest : public DriveInventoryTest {
protected:
    PlatformStandIn m_platform{VER_PLATFORM_WIN32_WINDOWS};
    // No volume is ever asked for its bus on this family.
    BusTypeStandIn m_bus{BusTypeUsb};

    void TearDown() override {
        EXPECT_EQ(0, m_bus.Queries());
        DriveInventoryTest::TearDown();
    }
};

TEST_F(NineXFamilyTest, FixedDrivesPresentAtStartupAreNotListed) {
    RecordFixedDrives();
    EXPECT_EQ("EF", ListUsbDrives());
}

TEST_F(NineXFamilyTest, FixedDriveAddedAfterStartupIsListed) {
    {
        DosDeviceOverride notYetPlugged('G');
        RecordFixedDrives();
        EXPECT_EQ("CW", RecordedFixedDrives());
    }
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("G:"));
    EXPECT_EQ("EFG", ListUsbDrives());
}

TEST_F(NineXFamilyTest, EmptyStartupListListsEveryFixedDrive) {
    SetFixedDrivesAtStartup("");
    EXPECT_EQ("CEFGW", ListUsbDrives());
}

TEST_F(NineXFamilyTest, FullStartupListIsReadToItsLastEntry) {
    // Twenty entries and no terminator: W: in the last place still counts.
    SetFixedDrivesAtStartup("ABDHIJKLMNOPQRSTUVXW");
    EXPECT_EQ("CEFG", ListUsbDrives());
}

struct PlatformCase {
    const char* name;
    DWORD platformId;
    bool succeeds;
    int expected;
};

class OsPlatformTest : public testing::TestWithParam<PlatformCase> {};

TEST_P(OsPlatformTest, MapsThePlatformId) {
    PlatformStandIn os(GetParam().platformId, GetParam().succeeds);
    EXPECT_EQ(GetParam().expected, GetOsPlatform());
}

INSTANTIATE_TEST_SUITE_P(, OsPlatformTest,
                         testing::Values(PlatformCase{"Nt", VER_PLATFORM_WIN32_NT, true, OS_PLATFORM_NT},
                                         PlatformCase{"Windows9x", VER_PLATFORM_WIN32_WINDOWS, true, OS_PLATFORM_9X},
                                         PlatformCase{"Win32s", VER_PLATFORM_WIN32s, true, 0},
                                         PlatformCase{"OtherId", 3, true, 3},
                                         PlatformCase{"VersionUnreadable", VER_PLATFORM_WIN32_NT, false, 0}),
                         [](const testing::TestParamInfo<PlatformCase>& info) { return info.param.name; });

TEST(OsPlatform, WineIsTheNtFamily) { EXPECT_EQ(OS_PLATFORM_NT, GetOsPlatform()); }
