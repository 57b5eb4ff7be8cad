#include <gtest/gtest.h>
#include <windows.h>

#include "tests/common/TestSupport.h"
#include "usb/RiskyFiles.h"

#include <string>

namespace {

struct MatchCase {
    const char* text;
    const char* pattern;
    int n;
    bool expected;
};

TEST(MatchNoCase, ComparesLengthExactWithTheSpaceBitRule) {
    const MatchCase cases[] = {
        // Letters of either case.
        {"explorer.exe", "EXPLORER.EXE", 12, true},
        {"Unknown", "uNKNOWN", 7, true},
        {"a", "b", 1, false},
        {"a", "B", 1, false},
        // Both texts must be exactly n long.
        {"abc", "abc", 2, false},
        {"ab", "abc", 2, false},
        {"abc", "ab", 2, false},
        {"ab", "ab", 3, false},
        // A terminator never passes for a space, though they differ by 0x20.
        {"a ", "a", 2, false},
        {"a", "a ", 2, false},
        // The 0x20 rule holds for every character, not only letters.
        {"@", "`", 1, true},
        {"`", "@", 1, true},
        {"[", "{", 1, true},
        {"0", "\x10", 1, true},
        {".", "\x0E", 1, true},
        {"\xC9", "\xE9", 1, true},
        {"@", "a", 1, false},
        // Empty texts.
        {"", "", 0, true},
        {"a", "", 0, false},
        {"", "a", 0, false},
        {"", "", -1, false},
    };
    for (const MatchCase& c : cases)
        EXPECT_EQ(c.expected, MatchNoCase(c.text, c.pattern, c.n))
            << "\"" << c.text << "\" \"" << c.pattern << "\" " << c.n;
}

// Every path lies on a removable sandbox drive; the fixture removes what it made.
class RiskyFileTypeTest : public testing::Test {
protected:
    static constexpr const char* ROOT_INF = "F:\\AUTORUN.INF";
    static constexpr const char* FOLDER = "F:\\RiskyRules";

    void SetUp() override {
        ASSERT_FALSE(vxtest::FileExists(ROOT_INF)) << "left behind by another test";
        ASSERT_TRUE(CreateDirectoryA(FOLDER, nullptr)) << GetLastError();
    }
    void TearDown() override {
        SetFileAttributesA(ROOT_INF, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ROOT_INF);
        vxtest::EmptyFolder(FOLDER);
        RemoveDirectoryA(FOLDER);
    }

    static void MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        ASSERT_EQ("", vxtest::WriteFile(path, "x"));
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
    }
    static void MakeFolder(const std::string& path) { ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)); }
};

TEST_F(RiskyFileTypeTest, ClassifiesExistingFilesByTheirLastExtension) {
    const std::string in = std::string(FOLDER) + "\\";
    MakeFile(ROOT_INF);
    MakeFolder(in + "AUTORUN.INF");
    MakeFolder(in + "v1.exe");
    MakeFolder(in + "hidden.scr");
    SetFileAttributesA((in + "hidden.scr").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    for (const char* name : {"Setup.EXE", "page.HtMl", "page.htm", "archive.tar.exe", "readme", "notes.txt", "a.js",
                             "a.jse", "a.jsx", "a.ws", "a.wsc", "a.aspx", "a.hta", "v1.exe\\readme"})
        MakeFile(in + name);
    MakeFile(in + "hidden.vbs", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    if (HasFatalFailure()) return;

    const struct {
        std::string path;
        int expected;
    } cases[] = {
        {ROOT_INF, RISKY_INF},
        {in + "Setup.EXE", RISKY_EXE},
        {in + "page.HtMl", RISKY_HTML},
        {in + "page.htm", RISKY_HTM},
        {in + "AUTORUN.INF", RISKY_NONE},  // a folder
        {in + "hidden.scr", RISKY_NONE},   // a hidden system folder
        {in + "missing.exe", RISKY_NONE},
        {"Q:\\setup.exe", RISKY_NONE},  // no such drive
        {in + "archive.tar.exe", RISKY_EXE},
        {in + "readme", RISKY_NONE},
        {in + "notes.txt", RISKY_NONE},
        {in + "a.js", RISKY_JS},
        {in + "a.jse", RISKY_JSE},
        {in + "a.jsx", RISKY_NONE},
        {in + "a.ws", RISKY_WS},
        {in + "a.wsc", RISKY_WSC},
        {in + "a.aspx", RISKY_ASPX},
        {in + "a.hta", RISKY_HTA},
        {in + "v1.exe\\readme", RISKY_NONE},  // the only dot is in a folder name
        {in + "hidden.vbs", RISKY_VBS},  // attributes other than the folder bit do not matter
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, GetRiskyFileType(c.path.c_str())) << c.path;
}

// The walks classify from what the folder search returned; that must give
// what the path form gives for every entry, folders and odd names included.
TEST_F(RiskyFileTypeTest, SearchEntriesClassifyAsTheirFullPathsDo) {
    const std::string in = std::string(FOLDER) + "\\";
    MakeFolder(in + "AUTORUN.INF");
    MakeFolder(in + "dir.exe");
    for (const char* name : {"Setup.EXE", ".exe", ".vbs", "..x.bat", "b.exe.txt", "readme", "page.HtMl",
                             "very.long.extension", "a.tar.vbe", "x.VB", "y.cmd", "z.123456789"})
        MakeFile(in + name);
    MakeFile(in + "h.pif", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    if (HasFatalFailure()) return;

    int entries = 0, risky = 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((in + "*.*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    do {
        ++entries;
        const std::string path = in + entry.cFileName;
        int type = GetRiskyFileTypeOf(entry.cFileName, entry.dwFileAttributes);
        EXPECT_EQ(GetRiskyFileType(path.c_str()), type) << path;
        if (type != RISKY_NONE) ++risky;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    EXPECT_EQ(2 + 2 + 13, entries);  // ".", "..", two folders, thirteen files
    EXPECT_EQ(9, risky);             // Setup.EXE .exe .vbs ..x.bat page.HtMl a.tar.vbe x.VB y.cmd h.pif
    EXPECT_EQ(RISKY_NONE, GetRiskyFileTypeOf("x.exe", INVALID_FILE_ATTRIBUTES));
}

// The codes are an interface: callers switch on them. Written out here, not
// taken from the header, so that a renumbered or reordered table fails.
TEST_F(RiskyFileTypeTest, EveryExtensionHasItsFixedCodeAndNothingElseMatches) {
    const struct {
        const char* extension;
        int code;
    } table[] = {
        {".exe", 1},  {".com", 2},  {".dll", 3},  {".html", 4}, {".bat", 5},  {".inf", 6},  {".pif", 7},
        {".reg", 8},  {".lnk", 9},  {".scr", 10}, {".asp", 11}, {".js", 12},  {".vbs", 13}, {".wsf", 14},
        {".wsh", 15}, {".aspx", 16}, {".htt", 17}, {".htm", 18}, {".htx", 19}, {".jsp", 20}, {".jse", 21},
        {".ws", 22},  {".wsc", 23}, {".vb", 24},  {".vbe", 25}, {".cmd", 26}, {".hta", 27},
        // Near misses: every entry matches only its own exact extension.
        {".ex", 0},   {".exe2", 0}, {".htmx", 0}, {".j", 0},    {".vbx", 0},  {".w", 0},    {".wsx", 0},
        {".aspxx", 0}, {".tmp", 0}, {".", 0},     {".exe.txt", 0}, {".x.exe", 1},
    };
    const std::string in = std::string(FOLDER) + "\\";
    int codesSeen = 0;
    for (const auto& row : table) {
        for (bool upper : {false, true}) {
            std::string extension = row.extension;
            if (upper) CharUpperBuffA(&extension[0], static_cast<DWORD>(extension.size()));
            std::string path = in + "file" + extension;
            MakeFile(path);
            EXPECT_EQ(row.code, GetRiskyFileType(path.c_str())) << path;
        }
        if (row.code != 0) codesSeen |= 1 << row.code;
    }
    EXPECT_EQ(0x0FFFFFFE, codesSeen) << "codes 1-27, each once";
}

}  // namespace
