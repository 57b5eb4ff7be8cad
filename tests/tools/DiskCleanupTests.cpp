#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "tests/tools/RepairTestSupport.h"
#include "tools/DiskCleanup.h"

namespace {

using repairtest::Row;

const char ROOT[] = "C:\\vxclean\\";
const char TEMP[] = "C:\\vxclean\\temp\\";
const char TARGET[] = "C:\\vxclean\\target\\";
const char DELETED[] = "Deleted";
const char DELETE_FAILED[] = "Delete failed";
const char CACHE_DELETED[] = "IE cache Deleted";

std::string SpecialFolder(int id) {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, id, FALSE);
    return path;
}

std::string WithBackslash(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

std::string EnvironmentValue(const char* name) {
    char value[1024] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

void Put(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    ASSERT_EQ("", vxtest::WriteFile(path, "content of " + path));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

size_t IndexOf(const std::vector<Row>& rows, const std::string& path) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].first == path) return i;
    return rows.size();
}

// Wine makes no link from the Windows side (CreateSymbolicLinkA reports
// success and does nothing), but it reads a Unix symbolic link to a folder
// as a directory reparse point, as Windows reads a junction. So the test
// makes one with the Linux system call, on the Unix paths Wine names.
bool MakeFolderLink(const std::string& link, const std::string& target) {
#if defined(__x86_64__)
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    UnixFileName unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName) return false;
    auto unixPath = [&](const std::string& path) {
        std::wstring wide(path.begin(), path.end());
        char* name = unixFileName(wide.c_str());
        std::string result = name ? name : "";
        if (name) HeapFree(GetProcessHeap(), 0, name);
        return result;
    };
    std::string from = unixPath(target), to = unixPath(link);
    if (from.empty() || to.empty()) return false;
    long result;
    const long LINUX_SYMLINK = 88;
    __asm__ volatile("syscall" : "=a"(result) : "a"(LINUX_SYMLINK), "D"(from.c_str()), "S"(to.c_str())
                     : "rcx", "r11", "memory");
    return result == 0;
#else
    (void)link;
    (void)target;
    return false;
#endif
}

class DiskCleanup : public repairtest::RepairPageTest {
protected:
    void SetUp() override {
        RepairPageTest::SetUp();
        savedTmp = EnvironmentValue("TMP");
        savedTemp = EnvironmentValue("TEMP");
        RemoveEverything();
        CreateDirectoryA(ROOT, nullptr);
        CreateDirectoryA(TEMP, nullptr);
        CreateDirectoryA(TARGET, nullptr);
        UseTempFolder(TEMP);
        cookies = WithBackslash(SpecialFolder(CSIDL_COOKIES));
        recent = WithBackslash(SpecialFolder(CSIDL_RECENT));
        ASSERT_NE("\\", cookies);
        ASSERT_NE("\\", recent);
        SHCreateDirectoryExA(nullptr, cookies.c_str(), nullptr);
        SHCreateDirectoryExA(nullptr, recent.c_str(), nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
        SetEnvironmentVariableA("TEMP", savedTemp.empty() ? nullptr : savedTemp.c_str());
        RemoveEverything();
        RepairPageTest::TearDown();
    }
    void RemoveEverything() {
        // The link first, so that nothing behind it is touched.
        RemoveDirectoryA((std::string(TEMP) + "link").c_str());
        vxtest::EmptyFolder(ROOT);
        RemoveDirectoryA(ROOT);
    }
    void UseTempFolder(const std::string& folder) {
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
    }
    std::vector<Row> RowsUnder(const std::string& folder) {
        std::vector<Row> rows;
        for (const Row& row : repairtest::Rows(page.Results()))
            if (row.first.compare(0, folder.size(), folder) == 0) rows.push_back(row);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::string savedTmp, savedTemp, cookies, recent;
};

TEST_F(DiskCleanup, DeletesEveryFileBelowTheThreeFoldersWhateverItsAttributesAndKeepsTheFolders) {
    const std::string temp = TEMP;
    CreateDirectoryA((temp + "sub").c_str(), nullptr);
    CreateDirectoryA((temp + "sub\\inner").c_str(), nullptr);
    Put(temp + "plain.tmp");
    Put(temp + "hidden.dat", FILE_ATTRIBUTE_HIDDEN);
    Put(temp + "readonly.txt", FILE_ATTRIBUTE_READONLY);
    Put(temp + "system.log", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    Put(temp + "sub\\deep.bak");
    Put(temp + "sub\\inner\\deeper.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    Put(cookies + "vx-cookie.txt", FILE_ATTRIBUTE_HIDDEN);
    Put(recent + "vx-recent.lnk", FILE_ATTRIBUTE_READONLY);
    Put(temp + "held.dat", FILE_ATTRIBUTE_HIDDEN);
    HANDLE held = CreateFileA((temp + "held.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    repairtest::ButtonsAtEachRow buttons(page.Results().Hwnd(), page.RepairButton(), page.CleanupButton());
    repairtest::MessageLog clip(page.Item(IDC_REPAIR_ANIMATION), ACM_OPENA, ACM_STOP);
    RunTool(IDC_REPAIR_CLEANUP);
    CloseHandle(held);

    const std::vector<Row> expected = {
        {temp + "held.dat", DELETE_FAILED}, {temp + "hidden.dat", DELETED},
        {temp + "plain.tmp", DELETED},      {temp + "readonly.txt", DELETED},
        {temp + "sub\\deep.bak", DELETED},  {temp + "sub\\inner\\deeper.txt", DELETED},
        {temp + "system.log", DELETED},
    };
    EXPECT_EQ(expected, RowsUnder(temp));
    std::vector<Row> rows = repairtest::Rows(page.Results());
    for (const std::string& listed : {cookies + "vx-cookie.txt", recent + "vx-recent.lnk"}) {
        size_t at = IndexOf(rows, listed);
        ASSERT_NE(rows.size(), at) << listed;
        EXPECT_EQ(DELETED, rows[at].second) << listed;
    }
    for (const std::string& gone : {cookies + "vx-cookie.txt", recent + "vx-recent.lnk", temp + "plain.tmp",
                                    temp + "hidden.dat", temp + "readonly.txt", temp + "system.log",
                                    temp + "sub\\deep.bak", temp + "sub\\inner\\deeper.txt"})
        EXPECT_FALSE(Exists(gone)) << gone;
    // Depth-first: a folder's files before those of its sub-folders.
    EXPECT_LT(IndexOf(rows, temp + "plain.tmp"), IndexOf(rows, temp + "sub\\deep.bak"));
    EXPECT_LT(IndexOf(rows, temp + "sub\\deep.bak"), IndexOf(rows, temp + "sub\\inner\\deeper.txt"));

    EXPECT_TRUE(Exists(temp + "held.dat"));
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesA((temp + "held.dat").c_str()) & FILE_ATTRIBUTE_HIDDEN)
        << "a file that stays keeps its attributes";
    EXPECT_TRUE(Exists(temp + "sub\\inner")) << "folders stay";

    // The working clip plays from its first to its last frame, without end,
    // and is closed at the end.
    std::vector<repairtest::LoggedMessage> clipMessages = clip.Messages();
    ASSERT_EQ(3u, clipMessages.size());
    EXPECT_EQ(static_cast<UINT>(ACM_OPENA), clipMessages[0].msg);
    EXPECT_EQ(reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_AVI_WORKING)), clipMessages[0].lParam);
    EXPECT_EQ(static_cast<UINT>(ACM_PLAY), clipMessages[1].msg);
    EXPECT_EQ(static_cast<UINT>(-1), static_cast<UINT>(clipMessages[1].wParam)) << "repeats without end";
    EXPECT_EQ(MAKELONG(0, 0xFFFF), clipMessages[1].lParam);
    EXPECT_EQ(static_cast<UINT>(ACM_OPENA), clipMessages[2].msg);
    EXPECT_EQ(0, clipMessages[2].lParam);
    EXPECT_GT(buttons.Rows(), 0);
    EXPECT_EQ(0, buttons.RowsWithAButtonEnabled()) << "both tool buttons are disabled while the clean-up runs";
    EXPECT_TRUE(IsWindowEnabled(page.RepairButton()));
    EXPECT_TRUE(IsWindowEnabled(page.CleanupButton()));
}

TEST_F(DiskCleanup, DoesNotEnterALinkToAnotherFolder) {
    Put(std::string(TARGET) + "keep.txt");
    CreateDirectoryA((std::string(TARGET) + "sub").c_str(), nullptr);
    Put(std::string(TARGET) + "sub\\keep too.txt", FILE_ATTRIBUTE_HIDDEN);
    const std::string link = std::string(TEMP) + "link";
    ASSERT_TRUE(MakeFolderLink(link, TARGET));
    ASSERT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
              GetFileAttributesA(link.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    ASSERT_TRUE(Exists(link + "\\keep.txt")) << "the link leads to the folder";
    Put(std::string(TEMP) + "beside the link.tmp");

    RunTool(IDC_REPAIR_CLEANUP);

    EXPECT_TRUE(Exists(std::string(TARGET) + "keep.txt"));
    EXPECT_TRUE(Exists(std::string(TARGET) + "sub\\keep too.txt"));
    EXPECT_TRUE(Exists(link));
    EXPECT_EQ((std::vector<Row>{{std::string(TEMP) + "beside the link.tmp", DELETED}}), RowsUnder(TEMP));
}

TEST_F(DiskCleanup, RefusesATempFolderThatIsTheUsersProfile) {
    const std::string profile = WithBackslash(SpecialFolder(CSIDL_PROFILE));
    ASSERT_NE("\\", profile);
    const std::string kept = profile + "vx-kept in the profile.txt";
    Put(kept);
    UseTempFolder(profile);

    RunTool(IDC_REPAIR_CLEANUP);

    EXPECT_TRUE(Exists(kept));
    DeleteFileA(kept.c_str());
    for (const Row& row : repairtest::Rows(page.Results())) {
        EXPECT_NE(kept, row.first);
        // Only the cookies and recent folders below the profile were cleaned.
        if (row.first.compare(0, profile.size(), profile) == 0 && row.second != CACHE_DELETED) {
            EXPECT_TRUE(row.first.compare(0, cookies.size(), cookies) == 0 ||
                        row.first.compare(0, recent.size(), recent) == 0)
                << row.first;
        }
    }
}

TEST_F(DiskCleanup, EmptiesTheUrlCacheListingEachEntryByItsFileOrItsAddress) {
    const std::string withFile = "http://vantorix.test/page.html";
    const std::string withoutFile = "http://vantorix.test/no-file";
    const std::string bigRecord = "http://vantorix.test/big-record";
    char localFile[MAX_PATH] = "";
    ASSERT_TRUE(CreateUrlCacheEntryA(withFile.c_str(), 0, "html", localFile, 0));
    ASSERT_EQ("", vxtest::WriteFile(localFile, "<html></html>"));
    FILETIME none = {};
    ASSERT_TRUE(CommitUrlCacheEntryA(withFile.c_str(), localFile, none, none, NORMAL_CACHE_ENTRY, nullptr, 0,
                                     nullptr, nullptr));
    ASSERT_TRUE(CommitUrlCacheEntryA(withoutFile.c_str(), nullptr, none, none, NORMAL_CACHE_ENTRY, nullptr, 0,
                                     nullptr, nullptr));
    // Headers larger than the first record buffer: the record must grow.
    std::string headers = "X-Padding: " + std::string(6000, 'p') + "\r\n";
    ASSERT_TRUE(CommitUrlCacheEntryA(bigRecord.c_str(), nullptr, none, none, NORMAL_CACHE_ENTRY,
                                     reinterpret_cast<BYTE*>(&headers[0]), static_cast<DWORD>(headers.size()),
                                     nullptr, nullptr));
    DWORD size = 0;
    GetUrlCacheEntryInfoA(bigRecord.c_str(), nullptr, &size);
    ASSERT_GT(size, 4096u);

    RunTool(IDC_REPAIR_CLEANUP);

    std::vector<Row> rows = repairtest::Rows(page.Results());
    for (const std::string& listed : {std::string(localFile), withoutFile, bigRecord}) {
        size_t at = IndexOf(rows, listed);
        ASSERT_NE(rows.size(), at) << listed;
        EXPECT_EQ(CACHE_DELETED, rows[at].second);
    }
    for (const std::string& url : {withFile, withoutFile, bigRecord}) {
        size = 0;
        EXPECT_FALSE(GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError()) << url << " is gone from the cache";
    }
    EXPECT_TRUE(ClearUrlCache([](const std::string&, UINT) { ADD_FAILURE() << "the cache is empty"; }));
}

TEST_F(DiskCleanup, EmptiesTheRecycleBin) {
    const std::string binned = std::string(ROOT) + "binned.txt";
    Put(binned);
    std::string from = binned + '\0';
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(0, SHFileOperationA(&operation));
    SHQUERYRBINFO bin = {sizeof bin, 0, 0};
    ASSERT_EQ(S_OK, SHQueryRecycleBinA(nullptr, &bin));
    ASSERT_GT(bin.i64NumItems, 0) << "the file went to the recycle bin";

    RunTool(IDC_REPAIR_CLEANUP);

    bin = {sizeof bin, 0, 0};
    ASSERT_EQ(S_OK, SHQueryRecycleBinA(nullptr, &bin));
    EXPECT_EQ(0, bin.i64NumItems);
}

TEST_F(DiskCleanup, CancelOnTheQuestionDeletesNothing) {
    Put(std::string(TEMP) + "stays.tmp");
    vxtest::ExpectMessage("Do you want to cleanup the system drive?\r\nPlease wait for a while!", IDCANCEL);
    Click(IDC_REPAIR_CLEANUP);
    EXPECT_FALSE(page.IsWorking());
    EXPECT_TRUE(Exists(std::string(TEMP) + "stays.tmp"));
}

TEST_F(DiskCleanup, DeletesOnlyTheClassAModeSelects) {
    const std::string temp = TEMP;
    for (const char* name : {"a.log", "B.LOG", "c.tmp", "d.txt", "noextension"}) Put(temp + name);
    CreateDirectoryA((temp + "folder.log").c_str(), nullptr);
    std::vector<Row> rows;
    auto collect = [&](const std::string& path, UINT state) { rows.push_back({path, std::to_string(state)}); };
    EXPECT_TRUE(DeleteFilesUnder(collect, temp, CLEANUP_LOG));
    std::sort(rows.begin(), rows.end());
    const std::string deleted = std::to_string(IDS_DELETED);
    EXPECT_EQ((std::vector<Row>{{temp + "B.LOG", deleted}, {temp + "a.log", deleted}}), rows);
    EXPECT_TRUE(Exists(temp + "c.tmp"));
    EXPECT_TRUE(Exists(temp + "folder.log"));

    rows.clear();
    EXPECT_FALSE(DeleteFilesUnder(collect, std::string(ROOT) + "missing\\", CLEANUP_EVERY_FILE));
    EXPECT_TRUE(rows.empty());
}

TEST(CleanupFolders, SystemAndUserFoldersAndTheirAncestorsAreRefused) {
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string profile = SpecialFolder(CSIDL_PROFILE);
    const std::string documents = SpecialFolder(CSIDL_PERSONAL);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    std::string lowerWindows = windows;
    CharLowerBuffA(&lowerWindows[0], static_cast<DWORD>(lowerWindows.size()));
    const std::string users = profile.substr(0, profile.rfind('\\'));

    for (const std::string& refused :
         {std::string(), std::string("relative\\folder\\"), std::string("C:\\"), std::string("C:\\\\"),
          std::string(windows), std::string(windows) + "\\", lowerWindows + "\\", std::string(system) + "\\",
          profile, profile + "\\", documents + "\\", desktop + "\\", users + "\\", profile + "\\.\\",
          profile + "\\AppData\\..\\"})
        EXPECT_TRUE(IsRefusedCleanupFolder(refused)) << "\"" << refused << "\"";

    for (const std::string& allowed :
         {std::string(windows) + "\\Temp\\", profile + "\\Temp\\", WithBackslash(SpecialFolder(CSIDL_COOKIES)),
          WithBackslash(SpecialFolder(CSIDL_RECENT)), std::string(TEMP),
          profile.substr(0, profile.size() - 1) + "\\", documents + "\\Old letters\\"})
        EXPECT_FALSE(IsRefusedCleanupFolder(allowed)) << "\"" << allowed << "\"";
}

TEST(CleanupClass, ByTheExtensionOfTheFileName) {
    CreateDirectoryA("C:\\vxclass", nullptr);
    CreateDirectoryA("C:\\vxclass\\old.bak", nullptr);
    struct Case {
        const char* path;
        int cleanupClass;
    } cases[] = {
        {"C:\\x\\FILE.TMP", CLEANUP_TMP},      {"C:\\x\\a._mp", CLEANUP_UNDERSCORE_MP},
        {"C:\\x\\Setup.LOG", CLEANUP_LOG},     {"C:\\x\\help.GiD", CLEANUP_GID},
        {"C:\\x\\FILE0001.CHK", CLEANUP_CHK},  {"C:\\x\\config.old", CLEANUP_OLD},
        {"C:\\x\\doc.bak", CLEANUP_BAK},       {"C:\\x\\setup.log.txt", CLEANUP_OTHER},
        {"C:\\x\\a.tmp1", CLEANUP_OTHER},      {"C:\\x\\a.tm", CLEANUP_OTHER},
        {"C:\\x\\README", CLEANUP_OTHER},      {"C:\\dir.old\\file", CLEANUP_OTHER},
        {"C:\\vxclass\\old.bak", CLEANUP_OTHER}, {".tmp", CLEANUP_OTHER},
    };
    for (const Case& c : cases) EXPECT_EQ(c.cleanupClass, GetCleanupClass(c.path)) << c.path;
    RemoveDirectoryA("C:\\vxclass\\old.bak");
    RemoveDirectoryA("C:\\vxclass");
}

}  // namespace
