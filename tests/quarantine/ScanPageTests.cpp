#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "quarantine/QuarantinePage.h"
#include "quarantine/QuarantineStore.h"
#include "quarantine/ScanPage.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const char SUSPICIOUS[] = "Suspicious";
const char DELETED[] = "Deleted";
const char DELETE_FAILED[] = "Delete failed";
const char PLEASE_WAIT[] = "Please wait for a while";
const char CONFIRM_DELETE_ALL[] = "Do you want to delete all?";

const DWORD NORMAL = FILE_ATTRIBUTE_NORMAL;
const DWORD HIDDEN = FILE_ATTRIBUTE_HIDDEN;

void Put(const std::string& path, DWORD attributes = NORMAL) {
    qtest::PutFile(path, "content of " + path);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

void PutFolder(const std::string& path, DWORD attributes) {
    CreateDirectoryA(path.c_str(), nullptr);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

std::set<std::string> AsSet(const std::vector<std::string>& texts) {
    return std::set<std::string>(texts.begin(), texts.end());
}

// The sub-folders of `folder` in the order the folder search lists them.
std::vector<std::string> ListedFolders(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

// A mount point (junction) at `link` leading to the folder `target`, made as
// Windows makes one: an empty folder given a reparse point.
bool MakeJunction(const std::string& link, const std::string& target) {
    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    HANDLE folder = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
    std::wstring print(target.begin(), target.end());
    std::vector<BYTE> buffer(1024, 0);
    // REPARSE_DATA_BUFFER for IO_REPARSE_TAG_MOUNT_POINT.
    struct Header {
        DWORD tag;
        WORD dataLength, reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
    };
    Header* header = reinterpret_cast<Header*>(buffer.data());
    const WORD substituteBytes = static_cast<WORD>(substitute.size() * 2);
    const WORD printBytes = static_cast<WORD>(print.size() * 2);
    header->tag = 0xA0000003;
    header->substituteOffset = 0;
    header->substituteLength = substituteBytes;
    header->printOffset = static_cast<WORD>(substituteBytes + 2);
    header->printLength = printBytes;
    BYTE* paths = buffer.data() + sizeof(Header);
    memcpy(paths, substitute.c_str(), substituteBytes);
    memcpy(paths + substituteBytes + 2, print.c_str(), printBytes);
    header->dataLength = static_cast<WORD>(8 + substituteBytes + 2 + printBytes + 2);
    DWORD returned = 0;
    const DWORD SET_REPARSE_POINT = 0x000900A4;
    BOOL done = DeviceIoControl(folder, SET_REPARSE_POINT, buffer.data(), 8 + header->dataLength, nullptr, 0,
                                &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(folder);
    SetLastError(error);
    return done != FALSE;
}

// Under Wine: a Unix symbolic link, made by the Linux system call itself
// (Wine runs the test as a Linux process), removed again at the end.
class UnixLink {
public:
    UnixLink() = default;
    UnixLink(const UnixLink&) = delete;
    UnixLink& operator=(const UnixLink&) = delete;
    ~UnixLink() {
        if (!m_link.empty()) SystemCall(87 /* unlink */, m_link.c_str(), nullptr);
    }
    bool Make(const char* link, const char* target) {
        std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
        if (unixLink.empty() || unixTarget.empty()) return false;
        if (SystemCall(88 /* symlink */, unixTarget.c_str(), unixLink.c_str()) != 0) return false;
        m_link = unixLink;
        return true;
    }

private:
    static long SystemCall(long number, const char* first, const char* second) {
#if defined(__x86_64__)
        long result;
        __asm__ volatile("syscall" : "=a"(result) : "a"(number), "D"(first), "S"(second) : "rcx", "r11", "memory");
        return result;
#else
        (void)number, (void)first, (void)second;
        return -1;
#endif
    }
    static std::string UnixPath(const char* path) {
        typedef char*(CDECL * ToUnix)(const WCHAR*);
        auto toUnix = reinterpret_cast<ToUnix>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
        if (!toUnix) return "";
        std::wstring wide(path, path + strlen(path));
        char* unixPath = toUnix(wide.c_str());
        if (!unixPath) return "";
        std::string result = unixPath;
        HeapFree(GetProcessHeap(), 0, unixPath);
        return result;
    }
    std::string m_link;
};

class ScanPageTest : public qtest::PageTest<ScanPage> {
protected:
    void Scan() {
        page.OnScan();
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsBusy(); }, 30000));
    }
    std::vector<std::string> Paths() { return Column(page.Findings(), 0); }
    std::vector<std::string> States() { return Column(page.Findings(), 1); }
    int RowOf(const std::string& path) {
        std::vector<std::string> paths = Paths();
        auto found = std::find(paths.begin(), paths.end(), path);
        return found == paths.end() ? -1 : static_cast<int>(found - paths.begin());
    }
    bool WorkButtonsEnabled() {
        return IsWindowEnabled(page.ScanButton()) && IsWindowEnabled(page.DeleteButton()) &&
               IsWindowEnabled(page.DeleteAllButton());
    }
    bool WorkButtonsDisabled() {
        return !IsWindowEnabled(page.ScanButton()) && !IsWindowEnabled(page.DeleteButton()) &&
               !IsWindowEnabled(page.DeleteAllButton());
    }
};

TEST_F(ScanPageTest, StartsEmptyWithItsColumnsAndImageButtons) {
    EXPECT_EQ(0, page.Findings().GetItemCount());
    EXPECT_EQ("", page.StatusText());
    EXPECT_EQ(static_cast<LRESULT>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              SendMessageA(page.Findings().Hwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    const std::pair<const char*, int> columns[] = {{"File", 600}, {"State", 135}};
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(columns[column].first, vxtest::ColumnTitle(page.Findings().Hwnd(), column));
        EXPECT_EQ(columns[column].second, SendMessageA(page.Findings().Hwnd(), LVM_GETCOLUMNWIDTH, column, 0));
    }
    for (HWND button : {page.ScanButton(), page.StopButton(), page.DeleteButton(), page.DeleteAllButton()})
        EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(button, GWL_STYLE) & 0x1F);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(page.Item(IDC_SCAN_STATUS), WM_GETFONT, 0, 0));
    LOGFONTA log = {};
    ASSERT_TRUE(GetObjectA(font, sizeof log, &log));
    EXPECT_STREQ("Arial", log.lfFaceName);
    EXPECT_EQ(FW_BOLD, log.lfWeight);
}

// Two USB drives, E: and F:. Each folder's own findings come before those of
// its sub-folders; the sub-folders are searched last-listed first.
TEST_F(ScanPageTest, ListsWhatTheRulesReportRootFilesFirstThenDepthFirst) {
    const struct {
        const char* path;
        DWORD attributes;
        bool listed;
    } files[] = {
        {"E:\\AUTORUN.INF", HIDDEN, true},   {"E:\\vis.inf", NORMAL, false},     {"E:\\setup.exe", NORMAL, false},
        {"E:\\hid.exe", HIDDEN, true},       {"E:\\vis.com", NORMAL, false},     {"E:\\hid.com", HIDDEN, true},
        {"E:\\vis.bat", NORMAL, false},      {"E:\\hid.bat", HIDDEN, true},      {"E:\\run.vbs", NORMAL, true},
        {"E:\\x.pif", NORMAL, true},         {"E:\\a.dll", HIDDEN, false},       {"E:\\b.lnk", HIDDEN, false},
        {"E:\\c.scr", HIDDEN, false},        {"E:\\d.cmd", HIDDEN, false},       {"E:\\page.hta", HIDDEN, false},
        {"E:\\sub\\deep.vb", NORMAL, true},  {"E:\\sub\\hid.inf", HIDDEN, true}, {"E:\\sub\\vis.exe", NORMAL, false},
        {"E:\\sub\\sub2\\x.vbe", NORMAL, true},
        {"E:\\sub\\sub2\\setup.exe", HIDDEN | FILE_ATTRIBUTE_READONLY, true},
        {"E:\\other\\o.vbs", HIDDEN, true},  {"F:\\f.pif", NORMAL, true},
        {"F:\\AUTORUN.INF\\payload.exe", HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
    };
    for (const auto& file : files) Put(file.path, file.attributes);
    // A hidden folder with a risky name is no finding; an immunity-style
    // AUTORUN.INF folder is searched like any other.
    PutFolder("E:\\prog.exe", HIDDEN);
    PutFolder("F:\\AUTORUN.INF", HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    if (HasFatalFailure()) return;

    Scan();

    auto listedUnder = [&](const std::string& folder) {
        std::set<std::string> paths;
        for (const auto& file : files) {
            std::string path = file.path;
            if (file.listed && path.substr(0, path.rfind('\\')) == folder) paths.insert(path);
        }
        return paths;
    };
    std::vector<std::set<std::string>> groups = {listedUnder("E:")};
    std::vector<std::string> rootFolders = ListedFolders("E:");
    for (auto name = rootFolders.rbegin(); name != rootFolders.rend(); ++name) {
        if (*name == "sub") {
            groups.push_back(listedUnder("E:\\sub"));
            groups.push_back(listedUnder("E:\\sub\\sub2"));
        } else if (*name == "other") {
            groups.push_back(listedUnder("E:\\other"));
        }
    }
    groups.push_back(listedUnder("F:"));
    groups.push_back(listedUnder("F:\\AUTORUN.INF"));

    std::vector<std::string> paths = Paths();
    size_t expectedRows = 0;
    for (const auto& group : groups) expectedRows += group.size();
    ASSERT_EQ(13u, expectedRows);
    ASSERT_EQ(expectedRows, paths.size());
    size_t next = 0;
    for (const auto& group : groups) {
        std::vector<std::string> rows(paths.begin() + static_cast<long>(next),
                                      paths.begin() + static_cast<long>(next + group.size()));
        EXPECT_EQ(group, AsSet(rows)) << "rows from " << next;
        next += group.size();
    }
    EXPECT_EQ(std::vector<std::string>(expectedRows, SUSPICIOUS), States());
    EXPECT_EQ("13 threats found", page.StatusText());
    EXPECT_TRUE(WorkButtonsEnabled());
    Screenshot("scan_page_findings");

    // Nothing found the next time: the list empties and the line says so.
    vxtest::EmptyFolder("E:\\");
    vxtest::EmptyFolder("F:\\");
    Scan();
    EXPECT_EQ(0, page.Findings().GetItemCount());
    EXPECT_EQ("No threat found", page.StatusText());
}

TEST_F(ScanPageTest, OneFindingReadsOneThreatsFound) {
    Put("E:\\deep\\er\\x.vbe");
    Scan();
    EXPECT_EQ(std::vector<std::string>{"E:\\deep\\er\\x.vbe"}, Paths());
    EXPECT_EQ("1 threats found", page.StatusText());
}

TEST_F(ScanPageTest, WithoutAUsbDriveThePreviousRowsStay) {
    Put("E:\\run.vbs");
    Scan();
    ASSERT_EQ(std::vector<std::string>{"E:\\run.vbs"}, Paths());
    {
        vxtest::DosDeviceOverride noE('E'), noF('F');
        vxtest::ExpectMessage("USB drive not found");
        Scan();
    }
    EXPECT_EQ(std::vector<std::string>{"E:\\run.vbs"}, Paths());
    EXPECT_EQ("No threat found", page.StatusText());
    EXPECT_TRUE(WorkButtonsEnabled());
}

// The stop lands on the fifth finding: the walk ends with the entry it is
// on, and the line counts exactly the rows found. While it walked, only the
// stop button was enabled and the clip played; it is closed afterwards.
TEST_F(ScanPageTest, StopEndsTheWalkWithTheRowsFoundSoFar) {
    for (int folder = 0; folder < 10; ++folder)
        for (int file = 0; file < 3; ++file)
            Put("E:\\f" + std::to_string(folder) + "\\s" + std::to_string(file) + ".vbs");
    if (HasFatalFailure()) return;

    std::vector<std::string> clip;
    qtest::MessageWatch clipWatch(page.AnimationWindow(), [&](UINT msg, WPARAM, LPARAM lParam) {
        if (msg == ACM_OPENA) clip.push_back(lParam ? "open" : "close");
        if (msg == ACM_PLAY) clip.push_back("play");
    });
    int inserted = 0;
    bool disabledWhileWalking = false, stopEnabledWhileWalking = false;
    std::vector<std::string> clipWhileWalking;
    qtest::MessageWatch rowWatch(page.Findings().Hwnd(), [&](UINT msg, WPARAM, LPARAM) {
        if (msg != LVM_INSERTITEMA) return;
        if (++inserted == 1) {
            disabledWhileWalking = WorkButtonsDisabled();
            stopEnabledWhileWalking = IsWindowEnabled(page.StopButton()) != 0;
            clipWhileWalking = clip;
        }
        if (inserted == 5) SendMessageA(page.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN_STOP, BN_CLICKED),
                                        reinterpret_cast<LPARAM>(page.StopButton()));
    });
    Scan();

    EXPECT_EQ(5, page.Findings().GetItemCount());
    EXPECT_EQ(5, inserted);
    EXPECT_EQ("5 threats found", page.StatusText());
    EXPECT_TRUE(disabledWhileWalking);
    EXPECT_TRUE(stopEnabledWhileWalking);
    EXPECT_EQ((std::vector<std::string>{"open", "play"}), clipWhileWalking);
    EXPECT_EQ((std::vector<std::string>{"open", "play", "close"}), clip);
    EXPECT_TRUE(WorkButtonsEnabled());
}

TEST_F(ScanPageTest, DeleteAnswersAnEmptyListThenAMissingSelection) {
    vxtest::ExpectMessage("No threat found");
    page.OnDelete();
    vxtest::ExpectMessage("No threat found");
    page.OnDeleteAll();
    Put("E:\\run.vbs");
    Scan();
    vxtest::ExpectMessage("Please select a file");
    page.OnDelete();
    vxtest::ExpectMessage("Delete: E:\\run.vbs?", IDCANCEL);
    page.Findings().Select(0);
    page.OnDelete();
    EXPECT_EQ(std::vector<std::string>{SUSPICIOUS}, States());
    EXPECT_TRUE(vxtest::FileExists("E:\\run.vbs"));
    EXPECT_TRUE(WorkButtonsEnabled());
}

// A hidden, read-only finding goes into the quarantine, and the quarantine
// page lists it after a refresh; a file already gone is simply "Deleted".
TEST_F(ScanPageTest, DeleteQuarantinesTheSelectedFinding) {
    Put("E:\\sub\\setup.exe", HIDDEN | FILE_ATTRIBUTE_READONLY);
    Put("E:\\gone.vbs");
    Scan();
    ASSERT_EQ(2, page.Findings().GetItemCount());

    page.Findings().Select(RowOf("E:\\sub\\setup.exe"));
    vxtest::ExpectMessage("Delete: E:\\sub\\setup.exe?");
    vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDelete();
    EXPECT_EQ(DELETED, page.Findings().GetItemText(RowOf("E:\\sub\\setup.exe"), 1));
    EXPECT_FALSE(vxtest::FileExists("E:\\sub\\setup.exe"));

    ASSERT_TRUE(DeleteFileA("E:\\gone.vbs"));
    page.Findings().Select(RowOf("E:\\gone.vbs"));
    vxtest::ExpectMessage("Delete: E:\\gone.vbs?");
    page.OnDelete();
    EXPECT_EQ((std::vector<std::string>{DELETED, DELETED}), States());
    EXPECT_TRUE(WorkButtonsEnabled());

    QuarantinePage quarantine;
    ASSERT_TRUE(quarantine.Create(m_parent));
    quarantine.RefreshList();
    EXPECT_EQ(std::vector<std::string>{"E:\\sub\\setup.exe"}, Column(quarantine.Quarantined(), 0));
}

TEST_F(ScanPageTest, DeleteAllMarksEveryRowInOrder) {
    for (const char* path : {"E:\\a.vbs", "E:\\b.pif", "E:\\gone.vbe"}) Put(path);
    Put("E:\\locked.exe", HIDDEN);
    Scan();
    ASSERT_EQ(4, page.Findings().GetItemCount());
    ASSERT_TRUE(DeleteFileA("E:\\gone.vbe"));
    HANDLE held = CreateFileA("E:\\locked.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    std::vector<int> rowsWritten;
    qtest::MessageWatch watch(page.Findings().Hwnd(), [&](UINT msg, WPARAM wParam, LPARAM) {
        if (msg == LVM_SETITEMTEXTA) rowsWritten.push_back(static_cast<int>(wParam));
    });
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL);
    vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDeleteAll();
    EXPECT_TRUE(WorkButtonsDisabled());
    EXPECT_TRUE(IsWindowEnabled(page.StopButton()));
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsBusy(); }, 20000));
    CloseHandle(held);

    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), rowsWritten);
    for (int row = 0; row < 4; ++row) {
        std::string path = page.Findings().GetItemText(row, 0);
        EXPECT_EQ(path == "E:\\locked.exe" ? DELETE_FAILED : DELETED, page.Findings().GetItemText(row, 1)) << path;
    }
    EXPECT_EQ(HIDDEN, GetFileAttributesA("E:\\locked.exe") & HIDDEN);
    EXPECT_FALSE(vxtest::FileExists("E:\\a.vbs"));
    EXPECT_FALSE(vxtest::FileExists("E:\\b.pif"));
    EXPECT_TRUE(WorkButtonsEnabled());

    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDCANCEL);
    page.OnDeleteAll();
    EXPECT_FALSE(page.IsBusy());
}

// A folder just short of the search limit holds a file whose full path has
// about 300 characters: it is listed, and deleting it leaves it as it is.
TEST_F(ScanPageTest, APathOver255CharactersIsListedAndLeftAlone) {
    std::string folder = "E:";
    for (int level = 0; level < 4; ++level) {
        folder += "\\" + std::string(58, static_cast<char>('a' + level));
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size();
    }
    const std::string name = std::string(60, 'n') + ".vbs";
    const std::string path = folder + "\\" + name;
    ASSERT_GT(path.size(), 290u);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    SetCurrentDirectoryA(previous);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    auto stillThere = [&] { return vxtest::ListFolder(folder + "\\", "*.vbs").size() == 1; };

    Scan();
    ASSERT_EQ(std::vector<std::string>{path}, Paths());

    page.Findings().Select(0);
    vxtest::ExpectMessage("Delete: " + path + "?");
    page.OnDelete();
    EXPECT_EQ(std::vector<std::string>{DELETE_FAILED}, States());
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL);
    vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDeleteAll();
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsBusy(); }, 20000));
    EXPECT_EQ(std::vector<std::string>{DELETE_FAILED}, States());
    EXPECT_TRUE(stillThere());
    EXPECT_TRUE(qtest::QuarantinedFiles().empty());

    SetCurrentDirectoryA(folder.c_str());
    SetFileAttributesA(name.c_str(), NORMAL);
    DeleteFileA(name.c_str());
    SetCurrentDirectoryA(previous);
}

// A link inside the tree that points back up to its own ancestor: the walk
// ends, and lists each finding once, by its real path. On Windows the link
// is a junction; Wine can make neither a junction nor a symbolic link
// (ERROR_NOT_SUPPORTED, and CreateSymbolicLink is a stub there), so under
// Wine it is a Unix symbolic link, which Wine reports as a reparse point.
TEST_F(ScanPageTest, ALinkBackUpTheTreeIsNotFollowed) {
    Put("E:\\top\\a.vbs");
    Put("E:\\top\\inner\\b.vbs");
    const char* LINK = "E:\\top\\inner\\loop";
    UnixLink link;
    if (!MakeJunction(LINK, "E:\\top")) {
        ASSERT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
        RemoveDirectoryA(LINK);
        ASSERT_TRUE(link.Make(LINK, "E:\\top"));
    }
    DWORD attributes = GetFileAttributesA(LINK);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
              attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    // The loop is real: the tree can be walked through it.
    ASSERT_TRUE(vxtest::FileExists("E:\\top\\inner\\loop\\inner\\loop\\a.vbs"));

    Scan();
    EXPECT_EQ((std::vector<std::string>{"E:\\top\\a.vbs", "E:\\top\\inner\\b.vbs"}), Paths());
    EXPECT_EQ("2 threats found", page.StatusText());
}

// The window goes while the walk runs: the page stops the thread and waits
// for it, so nothing is left working on a page that is gone.
TEST_F(ScanPageTest, ClosingDuringAScanStopsTheWalkAndWaitsForIt) {
    const int FOLDERS = 500;
    for (int folder = 0; folder < FOLDERS; ++folder) {
        const std::string path = "E:\\f" + std::to_string(folder);
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
        HANDLE file = CreateFileA((path + "\\x.vbs").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    int inserted = 0;
    {
        qtest::MessageWatch rowWatch(page.Findings().Hwnd(), [&](UINT msg, WPARAM, LPARAM) {
            if (msg == LVM_INSERTITEMA) ++inserted;
        });
        page.OnScan();
        ASSERT_TRUE(vxtest::PumpUntil([&] { return inserted > 0; }, 20000));
        ASSERT_TRUE(page.IsBusy());
    }
    page.DestroyWindow();
    EXPECT_FALSE(page.IsBusy());
    EXPECT_LT(inserted, FOLDERS);
}

}  // namespace
