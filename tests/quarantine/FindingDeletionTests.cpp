#include <gtest/gtest.h>
#include <windows.h>

#include "quarantine/FindingDeletion.h"
#include "res/resource.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

#include <string>

namespace {

class FindingDeletion : public qtest::QuarantineTest {};

// Paths that do not name one file for certain are refused before anything is
// touched, even where they would reach a real file from the current folder.
TEST_F(FindingDeletion, EmptyRelativeRootAndOverlongPathsAreRefusedUntouched) {
    const std::string target = "E:\\sub\\x.vbs";
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    qtest::PutFile(target, "script");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), hiddenReadOnly));
    const DWORD rootAttributes = GetFileAttributesA("E:\\");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA("E:\\"));

    const std::string refused[] = {
        "", "sub\\x.vbs", "E:sub\\x.vbs", "\\sub\\x.vbs", "E:\\", "E:\\sub\\" + std::string(250, 'x') + ".vbs",
    };
    for (const std::string& path : refused) {
        SCOPED_TRACE(path);
        EXPECT_EQ(static_cast<UINT>(IDS_DELETE_FAILED), DeleteFinding(path, true));
        EXPECT_EQ(hiddenReadOnly, GetFileAttributesA(target.c_str()) & hiddenReadOnly);
        EXPECT_EQ(rootAttributes, GetFileAttributesA("E:\\"));
    }
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(vxtest::FileExists(target));
    EXPECT_TRUE(qtest::QuarantinedFiles().empty());
    EXPECT_TRUE(vxtest::ShownMessages().empty());
}

}  // namespace
