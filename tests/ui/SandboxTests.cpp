#include <gtest/gtest.h>
#include <windows.h>

TEST(Sandbox, RunsFromTheBuildDriveWithTheTestDrivesMapped) {
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    EXPECT_EQ('W', path[0]) << path;
    EXPECT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("E:\\"));
    EXPECT_EQ(DRIVE_REMOVABLE, GetDriveTypeA("F:\\"));
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeA("G:\\"));
    EXPECT_EQ(DRIVE_CDROM, GetDriveTypeA("H:\\"));
    EXPECT_EQ(DRIVE_REMOTE, GetDriveTypeA("N:\\"));
    // Z: would be the Linux root.
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeA("Z:\\"));
}
