#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "usb/Immunity.h"

namespace {

const char POLICIES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char QUARANTINE_FOLDER[] = "W:\\quarantine\\";
const char README_TEXT[] = "The directory created by Vantorix should be deleted by itself";
const char ACQUIRED[] = "Your computer and USB storage are immune from virus";
const char CANCELLED[] = "Your computer and USB storage device are not immune away from virus!";
const char REGISTRY_MESSAGE[] =
    "Vantorix failed in accessing the registry.\r\n"
    "Please check if the current user has right to access the registry.";

// The sandbox's removable (E:, F:) and fixed (C:, G:, and W:, the build
// tree) drives, and those immunity must leave alone: the CD-ROM and the
// network drive.
const std::vector<std::string> LOCAL_ROOTS = {"C:\\", "E:\\", "F:\\", "G:\\", "W:\\"};
const std::vector<std::string> OTHER_ROOTS = {"H:\\", "N:\\"};

std::string Warning(const std::string& root) {
    return "There may be virus on the root directory: " + root + " \r\nPlease use Antivirus software to scan your computer!";
}

// Takes away whatever a test left in a root's AUTORUN.INF, file or folder.
void RemoveAutorunEntry(const std::string& root) {
    const std::string folder = root + "AUTORUN.INF";
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(folder.c_str());
        return;
    }
    // The inner folder's name ends in dots: removed with its closing backslash.
    RemoveDirectoryA((folder + "\\tessivo..\\").c_str());
    vxtest::EmptyFolder(folder);
    RemoveDirectoryA(folder.c_str());
}

void CleanAll() {
    for (const std::string& root : LOCAL_ROOTS) RemoveAutorunEntry(root);
    for (const std::string& root : OTHER_ROOTS) RemoveAutorunEntry(root);
    for (const char* drive : {"E:\\", "F:\\", "G:\\"}) vxtest::EmptyFolder(drive);
    vxtest::EmptyFolder(QUARANTINE_FOLDER);
    RemoveDirectoryA(QUARANTINE_FOLDER);
}

DWORD ReadPolicy() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, POLICIES_KEY, "NoDriveTypeAutoRun", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& path : vxtest::ListFolder(folder)) names.push_back(path.substr(path.rfind('\\') + 1));
    return names;
}

// What a person would find in a root: the AUTORUN.INF entry's attributes
// (0 when none) and, for a folder, its entries.
struct RootState {
    DWORD attributes;
    std::vector<std::string> entries;
};

RootState StateOf(const std::string& root) {
    const std::string folder = root + "AUTORUN.INF";
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {0, {}};
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {attributes, {}};
    return {attributes, Names(folder + "\\")};
}

// The exact immunity layout in `root`.
void ExpectImmune(const std::string& root) {
    SCOPED_TRACE(root);
    const std::string folder = root + "AUTORUN.INF";
    // Only the hidden bit is set on the folder.
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, GetFileAttributesA(folder.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
    // The inner folder is made from "tessivo..\\"; Windows keeps both dots
    // before a closing backslash, Wine keeps one.
    std::vector<std::string> names = Names(folder + "\\");
    EXPECT_EQ(2u, names.size());
    EXPECT_EQ("ReadMe.txt", names.at(0));
    EXPECT_TRUE(names.size() == 2 && (names[1] == "tessivo.." || names[1] == "tessivo.")) << names.back();
    DWORD inner = GetFileAttributesA((folder + "\\tessivo..\\").c_str());
    EXPECT_TRUE(inner != INVALID_FILE_ATTRIBUTES && (inner & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(vxtest::ListFolder(folder + "\\tessivo..\\").empty());
    const std::string readMe = folder + "\\ReadMe.txt";
    EXPECT_EQ(README_TEXT, vxtest::ReadFile(readMe)) << "the text without terminator or line break";
    EXPECT_EQ(0u, GetFileAttributesA(readMe.c_str()) &
                      (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

class ImmunityTest : public testing::Test {
protected:
    void SetUp() override {
        CleanAll();
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        DWORD unrelated = 0x95;
        RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<BYTE*>(&unrelated), 4);
        RegCloseKey(key);
    }
    void TearDown() override {
        CleanAll();
        RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY);
    }

    static void Acquire(const std::vector<std::string>& warnings = {}) {
        for (const std::string& root : warnings) vxtest::ExpectMessage(Warning(root));
        vxtest::ExpectMessage(ACQUIRED);
        AcquireImmunityAll();
    }
    static void Cancel(const std::vector<std::string>& warnings = {}) {
        for (const std::string& root : warnings) vxtest::ExpectMessage(Warning(root));
        vxtest::ExpectMessage(CANCELLED);
        CancelImmunityAll();
    }
};

TEST_F(ImmunityTest, AcquiringImmunizesEveryRemovableAndFixedDriveAndSwitchesAutorunOff) {
    Acquire();
    for (const std::string& root : LOCAL_ROOTS) ExpectImmune(root);
    for (const std::string& root : OTHER_ROOTS)
        EXPECT_EQ(0u, StateOf(root).attributes) << root << " is no removable or fixed drive";
    EXPECT_EQ(0x9Fu, ReadPolicy());
    for (const vxtest::ShownMessage& shown : vxtest::ShownMessages()) EXPECT_EQ(UINT(MB_OK), shown.type & MB_TYPEMASK);
}

TEST_F(ImmunityTest, AcquiringTwiceFindsEveryDriveImmuneAndShowsOnlyTheFinalMessage) {
    Acquire();
    Acquire();
    for (const std::string& root : LOCAL_ROOTS) ExpectImmune(root);
    EXPECT_EQ(2u, vxtest::ShownMessages().size());
}

TEST_F(ImmunityTest, AnAutorunFolderOfAnyoneIsLeftUntouched) {
    ASSERT_TRUE(CreateDirectoryA("E:\\AUTORUN.INF", nullptr));
    vxtest::WriteFile("E:\\AUTORUN.INF\\label.ico", "icon");
    const RootState before = StateOf("E:\\");
    Acquire();
    const RootState after = StateOf("E:\\");
    EXPECT_EQ(before.attributes, after.attributes);
    EXPECT_EQ(before.entries, after.entries);
    EXPECT_EQ("icon", vxtest::ReadFile("E:\\AUTORUN.INF\\label.ico"));
    ExpectImmune("F:\\");
}

TEST_F(ImmunityTest, AHiddenReadOnlyAutorunFileIsQuarantinedWithTheWarningAndCanBeRestored) {
    const std::string content = "[autorun]\r\nopen=recycler\\x.exe\r\nicon=x.ico\r\n";
    vxtest::WriteFile("F:\\AUTORUN.INF", content);
    ASSERT_TRUE(SetFileAttributesA("F:\\AUTORUN.INF", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    Acquire({"F:\\"});
    ExpectImmune("F:\\");

    std::vector<std::string> copies = vxtest::ListFolder(QUARANTINE_FOLDER, "*.bq");
    ASSERT_EQ(1u, copies.size());
    char origin[QUARANTINE_PATH_MAX + 1] = "";
    ASSERT_TRUE(ReadQuarantineOrigin(copies[0].c_str(), origin));
    EXPECT_STREQ("F:\\AUTORUN.INF", origin);

    // Once the folder is gone again, the file goes back where it was.
    Cancel();
    EXPECT_EQ(0u, StateOf("F:\\").attributes);
    EXPECT_EQ(RESTORE_TO_ORIGIN, RestoreQuarantinedFile(copies[0].c_str()));
    EXPECT_EQ(content, vxtest::ReadFile("F:\\AUTORUN.INF"));
}

TEST_F(ImmunityTest, AnAutorunFileThatCannotBeQuarantinedLeavesItsDriveWithoutImmunity) {
    vxtest::WriteFile("E:\\AUTORUN.INF", "[autorun]\r\n");
    HANDLE held = CreateFileA("E:\\AUTORUN.INF", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Acquire({"E:\\"});
    CloseHandle(held);
    EXPECT_EQ("[autorun]\r\n", vxtest::ReadFile("E:\\AUTORUN.INF")) << "the file stays as it was";
    EXPECT_FALSE(StateOf("E:\\").attributes & FILE_ATTRIBUTE_DIRECTORY);
    ExpectImmune("F:\\");
}

TEST_F(ImmunityTest, CancellingRemovesTheLayoutAndSwitchesAutorunBackOn) {
    Acquire();
    vxtest::WriteFile("G:\\AUTORUN.INF\\mine.txt", "a user's file");
    Cancel();
    for (const std::string& root : LOCAL_ROOTS) {
        if (root == "G:\\") continue;
        EXPECT_EQ(0u, StateOf(root).attributes) << root;
    }
    // ReadMe.txt and the inner folder go; the folder stays with the user's file.
    RootState kept = StateOf("G:\\");
    EXPECT_TRUE(kept.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(std::vector<std::string>{"mine.txt"}, kept.entries);
    EXPECT_EQ("a user's file", vxtest::ReadFile("G:\\AUTORUN.INF\\mine.txt"));
    EXPECT_EQ(0x91u, ReadPolicy());
}

TEST_F(ImmunityTest, CancellingWithoutImmunityChangesNoDriveAndQuarantinesAnAutorunFile) {
    vxtest::WriteFile("E:\\AUTORUN.INF", "[autorun]\r\nopen=x.exe\r\n");
    Cancel({"E:\\"});
    EXPECT_EQ(0u, StateOf("E:\\").attributes);
    EXPECT_EQ(1u, vxtest::ListFolder(QUARANTINE_FOLDER, "*.bq").size());
    for (const std::string& root : LOCAL_ROOTS) EXPECT_EQ(0u, StateOf(root).attributes) << root;
    EXPECT_EQ(0x91u, ReadPolicy());
}

TEST_F(ImmunityTest, DriveFunctionsRefuseNoRoot) {
    ImmunizeDrive(nullptr);
    EXPECT_FALSE(CancelDriveImmunity(nullptr));
    EXPECT_TRUE(CancelDriveImmunity("E:\\")) << "nothing to remove";
    ImmunizeDrive("E:\\");
    ExpectImmune("E:\\");
    EXPECT_TRUE(CancelDriveImmunity("E:\\"));
    EXPECT_EQ(0u, StateOf("E:\\").attributes);
}

TEST_F(ImmunityTest, APolicyKeyThatCannotBeWrittenShowsTheRegistryMessageThenTheFinalOne) {
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY));
    vxtest::ExpectMessage(REGISTRY_MESSAGE);
    Acquire();
    for (const std::string& root : LOCAL_ROOTS) ExpectImmune(root);
    vxtest::ExpectMessage(REGISTRY_MESSAGE);
    Cancel();
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, KEY_READ, &key)) << "never created";
}

}  // namespace
