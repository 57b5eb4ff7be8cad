#include <gtest/gtest.h>
#include <windows.h>

#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using qtest::AllByteValues;
using qtest::DesktopFolder;
using qtest::PutFile;
using qtest::QUARANTINE_FOLDER;
using qtest::QuarantinedFiles;
using qtest::QuarantinedImage;
using vxtest::FileExists;
using vxtest::ReadFile;

namespace {

std::string OriginOf(const std::string& quarantined) {
    char origin[256] = "";
    return ReadQuarantineOrigin(quarantined.c_str(), origin) ? origin : "<no origin>";
}

class QuarantineStore : public qtest::QuarantineTest {};

TEST_F(QuarantineStore, FoldersLieBesideTheExecutable) {
    char folder[256];
    ASSERT_TRUE(GetProgramFolder(folder));
    EXPECT_STREQ("W:\\", folder);
    ASSERT_FALSE(FileExists("W:\\quarantine"));
    ASSERT_TRUE(GetQuarantineFolder(folder));
    EXPECT_STREQ(QUARANTINE_FOLDER, folder);
    DWORD attributes = GetFileAttributesA("W:\\quarantine");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(GetQuarantineFolder(folder)) << "an existing folder is used as it is";
}

TEST_F(QuarantineStore, ExtractFileNameTakesTheTextAfterTheLastBackslash) {
    struct Case {
        const char* path;
        BOOL result;
        const char* name;
    } cases[] = {
        {"E:\\docs\\setup.exe", TRUE, "setup.exe"},
        {"\\x", TRUE, "x"},
        {"E:\\docs\\", TRUE, ""},
        {"setup.exe", FALSE, "untouched"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char name[256] = "untouched";
        EXPECT_EQ(c.result, ExtractFileName(c.path, name));
        EXPECT_STREQ(c.name, name);
    }
}

TEST_F(QuarantineStore, NullArgumentsAreRefused) {
    char buffer[256];
    EXPECT_FALSE(GetProgramFolder(nullptr));
    EXPECT_FALSE(ExtractFileName(nullptr, buffer));
    EXPECT_FALSE(GetQuarantineFolder(nullptr));
    EXPECT_EQ(QCOPY_BAD_ARGS, CopyQuarantineFile(nullptr, "W:\\quarantine\\x.bq", TRUE));
    EXPECT_EQ(QCOPY_BAD_ARGS, CopyQuarantineFile("E:\\x", nullptr, FALSE));
    EXPECT_FALSE(QuarantineAndDelete(nullptr));
    EXPECT_FALSE(ReadQuarantineOrigin(nullptr, buffer));
    EXPECT_FALSE(ReadQuarantineOrigin("W:\\quarantine\\x.bq", nullptr));
    EXPECT_EQ(RESTORE_FAILED, RestoreQuarantinedFile(nullptr));
}

TEST_F(QuarantineStore, StoresSignatureOriginLineEndAndShiftedContent) {
    ASSERT_NE(0, QUARANTINE_SHIFT);
    const std::string content("\x00\x41\xA2\xFF", 4);
    PutFile("E:\\lay\\abc.txt", content);

    ASSERT_TRUE(QuarantineAndDelete("E:\\lay\\abc.txt"));

    EXPECT_FALSE(FileExists("E:\\lay\\abc.txt"));
    ASSERT_EQ(std::vector<std::string>{"W:\\quarantine\\abc.txt.bq"}, QuarantinedFiles());
    std::string expected = "BrisquandelE:\\lay\\abc.txt\r\n";
    expected += static_cast<char>(QUARANTINE_SHIFT);
    expected += static_cast<char>(0x41 + QUARANTINE_SHIFT);
    expected += static_cast<char>((0xA2 + QUARANTINE_SHIFT) & 0xFF);
    expected += static_cast<char>((0xFF + QUARANTINE_SHIFT) & 0xFF);
    EXPECT_EQ(expected, ReadFile("W:\\quarantine\\abc.txt.bq"));
    EXPECT_EQ("E:\\lay\\abc.txt", OriginOf("W:\\quarantine\\abc.txt.bq"));
}

// Sizes around the 1000-byte and largest chunks, each through both chunk sizes.
TEST_F(QuarantineStore, RoundTripRestoresEveryByte) {
    const char* origin = "E:\\rt\\data.bin";
    const char* quarantined = "W:\\quarantine\\data.bin.bq";
    for (DWORD chunk : {DWORD(1000), QUARANTINE_MAX_CHUNK}) {
        for (size_t size : {size_t(0), size_t(1), size_t(999), size_t(1000), size_t(1001), size_t(65537),
                            size_t(QUARANTINE_MAX_CHUNK) + 1}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + ", size " + std::to_string(size));
            g_quarantineIo.chunkSize = chunk;
            const std::string content = AllByteValues(size);
            PutFile(origin, content);

            ASSERT_TRUE(QuarantineAndDelete(origin));
            EXPECT_FALSE(FileExists(origin));
            EXPECT_EQ(QuarantinedImage(origin, content), ReadFile(quarantined));

            ASSERT_EQ(RESTORE_TO_ORIGIN, RestoreQuarantinedFile(quarantined));
            EXPECT_EQ(content, ReadFile(origin));
            EXPECT_TRUE(FileExists(quarantined)) << "a restore keeps the quarantined file";
            ASSERT_TRUE(DeleteFileA(quarantined));
            ASSERT_TRUE(DeleteFileA(origin));
        }
    }
}

TEST_F(QuarantineStore, SameNameFromTwoFoldersKeepsBothWithTheirOrigins) {
    PutFile("E:\\a\\x.exe", "first");
    PutFile("E:\\b\\x.exe", "second");

    ASSERT_TRUE(QuarantineAndDelete("E:\\a\\x.exe"));
    ASSERT_TRUE(QuarantineAndDelete("E:\\b\\x.exe"));

    std::vector<std::string> files = QuarantinedFiles();
    ASSERT_EQ(2u, files.size());
    std::set<std::pair<std::string, std::string>> stored;
    for (const std::string& file : files) {
        EXPECT_EQ(".bq", file.substr(file.size() - 3));
        stored.insert({OriginOf(file), ReadFile(file)});
    }
    EXPECT_EQ((std::set<std::pair<std::string, std::string>>{
                  {"E:\\a\\x.exe", QuarantinedImage("E:\\a\\x.exe", "first")},
                  {"E:\\b\\x.exe", QuarantinedImage("E:\\b\\x.exe", "second")}}),
              stored);
    for (const std::string& file : files) EXPECT_EQ(RESTORE_TO_ORIGIN, RestoreQuarantinedFile(file.c_str()));
    EXPECT_EQ("first", ReadFile("E:\\a\\x.exe"));
    EXPECT_EQ("second", ReadFile("E:\\b\\x.exe"));
}

TEST_F(QuarantineStore, TakenNamesAreNeverOverwritten) {
    char folder[256];
    ASSERT_TRUE(GetQuarantineFolder(folder));
    PutFile("W:\\quarantine\\x.exe.bq", "an earlier quarantined file");
    ASSERT_TRUE(CreateDirectoryA("W:\\quarantine\\x.exe.1.bq", nullptr));
    PutFile("E:\\x.exe", "new");

    ASSERT_TRUE(QuarantineAndDelete("E:\\x.exe"));

    EXPECT_EQ("an earlier quarantined file", ReadFile("W:\\quarantine\\x.exe.bq"));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA("W:\\quarantine\\x.exe.1.bq") & FILE_ATTRIBUTE_DIRECTORY);
    // The new copy takes a free numbered name of its own.
    std::vector<std::string> files = QuarantinedFiles();
    ASSERT_EQ(3u, files.size());
    int copies = 0;
    for (const std::string& file : files) {
        if (file == "W:\\quarantine\\x.exe.bq" || file == "W:\\quarantine\\x.exe.1.bq") continue;
        ++copies;
        EXPECT_EQ(0u, file.find("W:\\quarantine\\x.exe.")) << file;
        EXPECT_EQ(".bq", file.substr(file.size() - 3));
        EXPECT_EQ(QuarantinedImage("E:\\x.exe", "new"), ReadFile(file));
    }
    EXPECT_EQ(1, copies);
}

// The k-th file of one name must not try the k names before it: each copy of
// a name costs at most one failed create, whatever came before.
int g_newFileCreates = 0;

HANDLE WINAPI CountingCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (disposition == CREATE_NEW) ++g_newFileCreates;
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

TEST_F(QuarantineStore, ManyFilesOfOneNameEachCostOneFailedCreateAtMost) {
    char folder[256];
    ASSERT_TRUE(GetQuarantineFolder(folder));
    int& creates = g_newFileCreates;
    creates = 0;
    g_quarantineIo.createFile = CountingCreateFile;
    const int FILES = 40;
    for (int i = 0; i < FILES; ++i) {
        const std::string path = "E:\\d" + std::to_string(i) + "\\AUTORUN.INF";
        PutFile(path, "copy " + std::to_string(i));
        ASSERT_TRUE(QuarantineAndDelete(path.c_str())) << path;
    }
    EXPECT_EQ(size_t(FILES), QuarantinedFiles().size());
    EXPECT_EQ(1 + 2 * (FILES - 1), creates);
}

TEST_F(QuarantineStore, ThreadsQuarantiningSameNamesAtOnceKeepEveryFile) {
    const int THREADS = 8, ROUNDS = 3;
    std::set<std::pair<std::string, std::string>> expected;
    for (int t = 0; t < THREADS; ++t)
        for (int r = 0; r < ROUNDS; ++r) {
            std::string path = "E:\\t" + std::to_string(t) + "r" + std::to_string(r) + "\\same.dat";
            std::string content = "thread " + std::to_string(t) + " round " + std::to_string(r);
            PutFile(path, content);
            expected.insert({path, QuarantinedImage(path, content)});
        }
    for (int r = 0; r < ROUNDS; ++r) {
        HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::vector<std::thread> threads;
        std::vector<int> deleted(THREADS, 0);
        for (int t = 0; t < THREADS; ++t)
            threads.emplace_back([&, t] {
                std::string path = "E:\\t" + std::to_string(t) + "r" + std::to_string(r) + "\\same.dat";
                WaitForSingleObject(start, INFINITE);
                deleted[t] = QuarantineAndDelete(path.c_str());
            });
        SetEvent(start);
        for (std::thread& thread : threads) thread.join();
        CloseHandle(start);
        for (int t = 0; t < THREADS; ++t) EXPECT_TRUE(deleted[t]) << "thread " << t << " round " << r;
    }

    std::set<std::pair<std::string, std::string>> stored;
    for (const std::string& file : QuarantinedFiles()) stored.insert({OriginOf(file), ReadFile(file)});
    EXPECT_EQ(expected, stored);
}

TEST_F(QuarantineStore, QuarantinedFileIsDeletedWithoutNewCopy) {
    PutFile("E:\\old.exe.bq", QuarantinedImage("C:\\old.exe", "MZ"));
    EXPECT_EQ(QCOPY_ALREADY_QUARANTINED, CopyQuarantineFile("E:\\old.exe.bq", "W:\\quarantine\\old.exe.bq.bq", TRUE));

    ASSERT_TRUE(QuarantineAndDelete("E:\\old.exe.bq"));

    EXPECT_FALSE(FileExists("E:\\old.exe.bq"));
    EXPECT_TRUE(QuarantinedFiles().empty());
}

TEST_F(QuarantineStore, HiddenReadOnlyFileIsQuarantinedThenDeleted) {
    PutFile("E:\\autorun.exe", "MZ payload");
    ASSERT_TRUE(SetFileAttributesA("E:\\autorun.exe", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(QuarantineAndDelete("E:\\autorun.exe"));

    EXPECT_FALSE(FileExists("E:\\autorun.exe"));
    EXPECT_EQ(QuarantinedImage("E:\\autorun.exe", "MZ payload"), ReadFile("W:\\quarantine\\autorun.exe.bq"));
}

// "E:\dddddddddd\" is 14 characters, as is "W:\quarantine\": a 255-character
// path leaves no room for ".bq" after the full name, so the stored name is cut.
TEST_F(QuarantineStore, PathsUpTo255CharactersAreQuarantinedLongerOnesRefused) {
    const std::string folder = "E:\\" + std::string(10, 'd') + "\\";
    const std::string longest = folder + std::string(255 - folder.size() - 4, 'n') + ".txt";
    const std::string tooLong = folder + std::string(256 - folder.size() - 4, 'n') + ".txt";
    ASSERT_EQ(255u, longest.size());
    ASSERT_EQ(256u, tooLong.size());
    PutFile(tooLong, "stays");
    PutFile(longest, "goes");

    EXPECT_FALSE(QuarantineAndDelete(tooLong.c_str()));
    EXPECT_EQ("stays", ReadFile(tooLong));
    EXPECT_TRUE(QuarantinedFiles().empty());

    // Twice, so that a numbered name must fit as well.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(QuarantineAndDelete(longest.c_str())) << "pass " << pass;
        EXPECT_FALSE(FileExists(longest));
        std::vector<std::string> files = QuarantinedFiles();
        ASSERT_EQ(size_t(pass + 1), files.size());
        for (const std::string& file : files) {
            EXPECT_LE(file.size(), 255u) << file;
            EXPECT_EQ(".bq", file.substr(file.size() - 3));
            EXPECT_EQ(QuarantinedImage(longest, "goes"), ReadFile(file));
        }
        ASSERT_EQ(RESTORE_TO_ORIGIN, RestoreQuarantinedFile(files.back().c_str()));
        EXPECT_EQ("goes", ReadFile(longest));
    }
}

TEST_F(QuarantineStore, FileHeldOpenElsewhereStays) {
    PutFile("E:\\busy.exe", "in use");
    HANDLE held = CreateFileA("E:\\busy.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    EXPECT_FALSE(QuarantineAndDelete("E:\\busy.exe"));

    CloseHandle(held);
    EXPECT_EQ("in use", ReadFile("E:\\busy.exe"));
    EXPECT_TRUE(QuarantinedFiles().empty());
}

TEST_F(QuarantineStore, FileStaysWhenTheQuarantineCannotTakeIt) {
    PutFile("W:\\quarantine", "a file where the folder should be");
    PutFile("E:\\x.exe", "keep");

    EXPECT_FALSE(QuarantineAndDelete("E:\\x.exe"));

    EXPECT_EQ("keep", ReadFile("E:\\x.exe"));
}

TEST_F(QuarantineStore, RestoreFallsBackToTheDesktopThenFails) {
    const std::string desktopCopy = DesktopFolder() + "\\x.exe";
    PutFile("E:\\x.exe", "quarantined");
    ASSERT_TRUE(QuarantineAndDelete("E:\\x.exe"));
    const char* quarantined = "W:\\quarantine\\x.exe.bq";
    PutFile("E:\\x.exe", "occupies the origin");

    EXPECT_EQ(RESTORE_TO_DESKTOP, RestoreQuarantinedFile(quarantined));
    EXPECT_EQ("occupies the origin", ReadFile("E:\\x.exe"));
    EXPECT_EQ("quarantined", ReadFile(desktopCopy));

    ASSERT_EQ("", vxtest::WriteFile(desktopCopy, "occupies the desktop"));
    EXPECT_EQ(RESTORE_FAILED, RestoreQuarantinedFile(quarantined));
    EXPECT_EQ("occupies the origin", ReadFile("E:\\x.exe"));
    EXPECT_EQ("occupies the desktop", ReadFile(desktopCopy));
    EXPECT_EQ(QuarantinedImage("E:\\x.exe", "quarantined"), ReadFile(quarantined));
}

// Quarantined files written by hand, as a damaged or foreign file may be.
TEST_F(QuarantineStore, RestoreFollowsTheHeader) {
    struct Case {
        const char* what;
        std::string image;
        int result;
        const char* restoredPath;  // where the content must appear, or null
        std::string restored;
    } cases[] = {
        {"no line end after the origin", "BrisquandelE:\\r\\empty.txt", RESTORE_TO_ORIGIN, "E:\\r\\empty.txt", ""},
        {"origin folder gone", QuarantinedImage("E:\\gone\\x.txt", "abc"), RESTORE_TO_DESKTOP, "desktop", "abc"},
        {"origin without a backslash", QuarantinedImage("loose.txt", "abc"), RESTORE_FAILED, nullptr, ""},
        {"no signature", "Brisquande!E:\\r\\plain.txt\r\nabc", RESTORE_FAILED, nullptr, ""},
        {"origin longer than 255", "Brisquandel" + std::string(256, 'o'), RESTORE_FAILED, nullptr, ""},
    };
    CreateDirectoryA("E:\\r", nullptr);
    char folder[256];
    ASSERT_TRUE(GetQuarantineFolder(folder));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ("", vxtest::WriteFile("W:\\quarantine\\hand.bq", c.image));

        EXPECT_EQ(c.result, RestoreQuarantinedFile("W:\\quarantine\\hand.bq"));

        std::string restoredPath = c.restoredPath ? c.restoredPath : "";
        if (restoredPath == "desktop") restoredPath = DesktopFolder() + "\\x.txt";
        if (!restoredPath.empty()) {
            EXPECT_TRUE(FileExists(restoredPath)) << restoredPath;
            EXPECT_EQ(c.restored, ReadFile(restoredPath));
            DeleteFileA(restoredPath.c_str());
        }
        EXPECT_EQ(c.image, ReadFile("W:\\quarantine\\hand.bq"));
        EXPECT_FALSE(FileExists("W:\\loose.txt"));
        EXPECT_FALSE(FileExists(DesktopFolder() + "\\loose.txt"));
        EXPECT_FALSE(FileExists("E:\\r\\plain.txt"));
    }
}

}  // namespace
