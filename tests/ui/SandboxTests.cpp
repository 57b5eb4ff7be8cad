#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/common/TestSupport.h"

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

// scripts/test.sh asks for a display of the sandbox's own, so that nobody's
// mouse moves the pointer under a hover test.
TEST(Sandbox, RunsOnItsOwnDisplayWhenAskedTo) {
    const char* required = getenv("VX_REQUIRE_OWN_DISPLAY");
    if (!required || strcmp(required, "1") != 0) GTEST_SKIP() << "started without scripts/test.sh";
    const char* own = getenv("VX_OWN_DISPLAY");
    EXPECT_TRUE(own && strcmp(own, "1") == 0) << "the sandbox runs on a display it did not start";
}

// The helper that resets the test drives deletes everything below a folder;
// it must never reach the build tree, the prefix or the host.
TEST(Sandbox, EmptyFolderTouchesOnlyTheTestFolders) {
    for (const char* refused : {"", "quarantine", "relative\\folder", "\\rooted", "E:", "E:folder", "C:\\", "W:\\",
                                "W:\\quarantine\\..\\", "W:\\quarantinex", "C:\\windows", "H:\\", "N:\\",
                                "W:\\sandbox\\prefix\\dosdevices\\", "\\\\?\\W:\\", "C:\\windows\\system32",
                                "W:\\AUTORUN.INF.old", "W:\\sandbox\\AUTORUN.INF"})
        EXPECT_FALSE(vxtest::IsSandboxTestFolder(refused)) << "\"" << refused << "\"";
    for (const char* allowed : {"E:\\", "f:\\", "G:\\a\\b", "W:\\quarantine", "W:\\quarantine\\",
                                "E:\\x\\..\\y\\", "W:\\AUTORUN.INF", "h:\\autorun.inf\\", "C:\\vxshell",
                                "C:\\Program Files\\My Tools\\Vantorix\\"})
        EXPECT_TRUE(vxtest::IsSandboxTestFolder(allowed)) << allowed;

    // A refused folder keeps what it holds, and the refusal fails the test.
    const std::string probe = "W:\\empty-folder-probe";
    CreateDirectoryA(probe.c_str(), nullptr);
    ASSERT_EQ("", vxtest::WriteFile(probe + "\\keep.txt", "keep"));
    bool emptied = true;
    EXPECT_NONFATAL_FAILURE(emptied = vxtest::EmptyFolder(probe), "EmptyFolder refuses");
    EXPECT_FALSE(emptied);
    EXPECT_TRUE(vxtest::FileExists(probe + "\\keep.txt"));
    DeleteFileA((probe + "\\keep.txt").c_str());
    RemoveDirectoryA(probe.c_str());

    ASSERT_EQ("", vxtest::WriteFile("E:\\gone.txt", "x"));
    EXPECT_TRUE(vxtest::EmptyFolder("E:\\"));
    EXPECT_FALSE(vxtest::FileExists("E:\\gone.txt"));
}
