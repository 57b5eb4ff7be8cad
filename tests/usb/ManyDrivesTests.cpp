#include <gtest/gtest.h>
#include <windows.h>

#include "tests/common/TestSupport.h"
#include "tests/usb/UsbTestSupport.h"
#include "usb/DriveInventory.h"

using usbtest::BusTypeStandIn;
using usbtest::ListUsbDrives;

// The prefix where every letter but C: W: Z: is a removable drive: 22
// removable letters from B: to Y: qualify, more than a list can hold.
class ManyDrivesTest : public testing::Test {
protected:
    void SetUp() override {
        if (!vxtest::InManyDrivesSandbox()) GTEST_SKIP() << "needs the prefix with many removable drives";
    }
};

TEST_F(ManyDrivesTest, RemovableAIsNeverListedButBIs) {
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("A:"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("B:"));
    std::string letters = ListUsbDrives();
    EXPECT_EQ(std::string::npos, letters.find('A')) << letters;
    EXPECT_EQ('B', letters.empty() ? 0 : letters[0]) << letters;
}

TEST_F(ManyDrivesTest, FullListKeepsTheLowestTwentyLetters) {
    // Guard bytes either side of the list are checked by ListUsbDrives.
    EXPECT_EQ("BDEFGHIJKLMNOPQRSTUV", ListUsbDrives());
}

TEST_F(ManyDrivesTest, FullListWithUsbFixedDrivesKeepsTheLowestTwentyLetters) {
    BusTypeStandIn bus(BusTypeUsb);
    EXPECT_EQ("BCDEFGHIJKLMNOPQRSTU", ListUsbDrives());
    EXPECT_EQ(1, bus.Queries()) << "the walk ends once the list is full, before W:";
}
