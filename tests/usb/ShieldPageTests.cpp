#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "controls/ImageButton.h"
#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "ui/MessageBox.h"
#include "usb/ShieldPage.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char QUARANTINE_FOLDER[] = "W:\\quarantine\\";
const char RISKY[] = "Risky";
const char DELETED[] = "Deleted";
const char DELETE_FAILED[] = "Delete failed";
const char CONFIRM_DELETE_ALL[] = "Do you want to delete all?";
const char PLEASE_WAIT[] = "Please wait for a while";
const char REPLUG_USB[] = "Please remove your USB disk and plug it into the computer again";

const DWORD NORMAL = FILE_ATTRIBUTE_NORMAL;
const DWORD HIDDEN = FILE_ATTRIBUTE_HIDDEN;
const DWORD HIDDEN_READ_ONLY = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
const DWORD IMMUNITY_FOLDER = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

// The sandbox drives and the quarantine folder are shared with other suites.
void CleanDrivesAndQuarantine() {
    for (const char* drive : {"E:\\", "F:\\", "G:\\"}) vxtest::EmptyFolder(drive);
    vxtest::EmptyFolder(QUARANTINE_FOLDER);
    RemoveDirectoryA(QUARANTINE_FOLDER);
}

// A file in a root or sub-folder, or a folder, with its attributes.
struct Entry {
    std::string path;
    DWORD attributes;
    bool folder = false;
};

void Put(const Entry& entry) {
    size_t slash = entry.path.rfind('\\');
    if (slash > 2) CreateDirectoryA(entry.path.substr(0, slash).c_str(), nullptr);
    if (entry.folder) {
        ASSERT_TRUE(CreateDirectoryA(entry.path.c_str(), nullptr)) << entry.path;
    } else {
        ASSERT_EQ("", vxtest::WriteFile(entry.path, "content of " + entry.path));
    }
    ASSERT_TRUE(SetFileAttributesA(entry.path.c_str(), entry.attributes)) << entry.path;
}

bool HasAttributes(const std::string& path, DWORD attributes) {
    DWORD actual = GetFileAttributesA(path.c_str());
    return actual != INVALID_FILE_ATTRIBUTES && (actual & attributes) == attributes;
}

// The origins of the quarantined copies, sorted.
std::vector<std::string> QuarantinedOrigins() {
    std::vector<std::string> origins;
    for (const std::string& copy : vxtest::ListFolder(QUARANTINE_FOLDER, "*.bq")) {
        char origin[QUARANTINE_PATH_MAX + 1] = "";
        EXPECT_TRUE(ReadQuarantineOrigin(copy.c_str(), origin));
        origins.push_back(origin);
    }
    std::sort(origins.begin(), origins.end());
    return origins;
}

std::vector<std::string> Sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool Contains(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

// Calls `observer` after `window` has handled each of its messages, so that a
// test sees what another thread makes the window do, on the window's thread.
class MessageWatch {
public:
    using Observer = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)>;
    MessageWatch(HWND window, Observer observer) : m_window(window), m_observer(std::move(observer)) {
        SetWindowSubclass(m_window, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageWatch() { RemoveWindowSubclass(m_window, Proc, 0); }
    MessageWatch(const MessageWatch&) = delete;
    MessageWatch& operator=(const MessageWatch&) = delete;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        LRESULT result = DefSubclassProc(window, msg, wParam, lParam);
        reinterpret_cast<MessageWatch*>(self)->m_observer(msg, wParam, lParam);
        return result;
    }

    HWND m_window;
    Observer m_observer;
};

// A state text other than "Risky" written into a row, with the buttons as
// they were at that moment.
struct StateWrite {
    int row;
    std::string text;
    bool deleteEnabled;
    bool deleteAllEnabled;
};

class ShieldPageTest : public testing::Test {
protected:
    void SetUp() override {
        CleanDrivesAndQuarantine();
        // The page is a child template: a hidden pop-up stands in for the main window.
        m_parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 40, 40, 760, 470, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_parent);
        ASSERT_TRUE(page.Create(m_parent));
    }
    void TearDown() override {
        page.DestroyWindow();
        DestroyWindow(m_parent);
        CleanDrivesAndQuarantine();
    }

    // As the main window does it: empty the list, then check the roots.
    void Scan(const std::string& letters) {
        page.Findings().DeleteAllItems();
        ASSERT_TRUE(page.ScanDriveRoots(letters.c_str(), static_cast<int>(letters.size())));
    }

    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (int row = 0; row < page.Findings().GetItemCount(); ++row)
            paths.push_back(page.Findings().GetItemText(row, 0));
        return paths;
    }
    std::vector<std::string> States() {
        std::vector<std::string> states;
        for (int row = 0; row < page.Findings().GetItemCount(); ++row)
            states.push_back(page.Findings().GetItemText(row, 1));
        return states;
    }
    int RowOf(const std::string& path) {
        std::vector<std::string> paths = Paths();
        auto found = std::find(paths.begin(), paths.end(), path);
        return found == paths.end() ? -1 : static_cast<int>(found - paths.begin());
    }
    bool ButtonsEnabled() {
        return IsWindowEnabled(page.DeleteButton()) && IsWindowEnabled(page.DeleteAllButton());
    }
    bool ButtonsDisabled() {
        return !IsWindowEnabled(page.DeleteButton()) && !IsWindowEnabled(page.DeleteAllButton());
    }
    void WaitForDeleteAll() {
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsDeletingAll(); }, 20000));
    }
    // Records every state the delete-all writes while the result lives.
    std::unique_ptr<MessageWatch> WatchStateWrites(std::vector<StateWrite>& writes,
                                                   std::function<void()> afterFirst = nullptr) {
        return std::make_unique<MessageWatch>(page.Findings().Hwnd(), [=, &writes](UINT msg, WPARAM wParam,
                                                                                   LPARAM lParam) {
            if (msg != LVM_SETITEMTEXTA) return;
            const LVITEMA* item = reinterpret_cast<const LVITEMA*>(lParam);
            if (item->iSubItem != 1 || std::string(item->pszText) == RISKY) return;
            writes.push_back({static_cast<int>(wParam), item->pszText, IsWindowEnabled(page.DeleteButton()) != 0,
                              IsWindowEnabled(page.DeleteAllButton()) != 0});
            if (writes.size() == 1 && afterFirst) afterFirst();
        });
    }

    HWND m_parent = nullptr;
    ShieldPage page;
};

// ---------------------------------------------------------------- the page

TEST_F(ShieldPageTest, StartsEmptyWithItsColumnsBoldStatusLineAndImageButtons) {
    EXPECT_EQ(0, page.Findings().GetItemCount());
    EXPECT_EQ("", page.StatusText());
    EXPECT_EQ(static_cast<LRESULT>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              SendMessageA(page.Findings().Hwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    const std::pair<const char*, int> columns[] = {{"Threat", 600}, {"State", 135}};
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(columns[column].first, vxtest::ColumnTitle(page.Findings().Hwnd(), column));
        EXPECT_EQ(columns[column].second, SendMessageA(page.Findings().Hwnd(), LVM_GETCOLUMNWIDTH, column, 0));
    }

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(page.Item(IDC_SHIELD_STATUS), WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectA(font, sizeof lf, &lf));
    EXPECT_STREQ("Arial", lf.lfFaceName);
    EXPECT_EQ(20, lf.lfHeight);
    EXPECT_EQ(10, lf.lfWidth);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
    EXPECT_EQ(FF_SWISS, lf.lfPitchAndFamily & 0xF0);

    const std::pair<HWND, int> buttons[] = {
        {page.DeleteButton(), IDB_DELETE}, {page.DeleteAllButton(), IDB_DELETE}, {page.Item(IDC_SHIELD_EMBLEM), IDB_SHIELD_EMBLEM}};
    for (const auto& button : buttons) {
        auto* image = dynamic_cast<ImageButton*>(ui::Window::FromHandle(button.first));
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(1, image->ImagePlacement()) << "image above the caption";
        ASSERT_NE(nullptr, image->Bitmap(0));
        EXPECT_EQ(nullptr, image->Bitmap(1)) << "one bitmap only";
        ui::ScopedBitmap resource(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(button.second)));
        BITMAP shown = {}, expected = {};
        GetObjectA(image->Bitmap(0), sizeof shown, &shown);
        GetObjectA(resource, sizeof expected, &expected);
        EXPECT_EQ(expected.bmWidth, shown.bmWidth) << button.second;
        EXPECT_EQ(expected.bmHeight, shown.bmHeight) << button.second;
    }
}

TEST_F(ShieldPageTest, TheStatusFontGoesWithThePage) {
    HFONT font = nullptr;
    {
        ShieldPage other;
        ASSERT_TRUE(other.Create(m_parent));
        font = reinterpret_cast<HFONT>(SendMessageA(other.Item(IDC_SHIELD_STATUS), WM_GETFONT, 0, 0));
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));
    }
    EXPECT_EQ(0u, GetObjectType(font));
}

TEST_F(ShieldPageTest, ScanWithoutLettersDoesNothing) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    EXPECT_FALSE(page.ScanDriveRoots(nullptr, 1));
    EXPECT_FALSE(page.ScanDriveRoots("E", 0));
    EXPECT_EQ(0, page.Findings().GetItemCount());
    EXPECT_EQ("", page.StatusText());
}

// ---------------------------------------------------------------- root scan

struct RootCase {
    const char* name;
    std::vector<Entry> entries;
    const char* letters;
    std::vector<std::string> expected;  // in the order of `letters`; any order within a drive
};

std::vector<RootCase> RootCases() {
    const std::string longExe = "E:\\" + std::string(150, 'x') + ".exe";
    const std::string longInf = "F:\\" + std::string(240, 'y') + ".inf";
    return {
        {"VisibleAutorunInf", {{"E:\\AUTORUN.INF", NORMAL}}, "E", {"E:\\AUTORUN.INF"}},
        {"HiddenReadOnlyInfsListedOnce",
         {{"E:\\AUTORUN.INF", HIDDEN_READ_ONLY}, {"F:\\setup.inf", HIDDEN_READ_ONLY}},
         "EF",
         {"E:\\AUTORUN.INF", "F:\\setup.inf"}},
        {"ProgramsOnlyWhenHidden",
         {{"E:\\Setup.exe", NORMAL}, {"E:\\run.bat", FILE_ATTRIBUTE_READONLY}, {"F:\\Setup.exe", HIDDEN},
          {"F:\\open.vbs", HIDDEN | FILE_ATTRIBUTE_SYSTEM}},
         "EF",
         {"F:\\Setup.exe", "F:\\open.vbs"}},
        {"HiddenHarmlessFilesAndFoldersNever",
         {{"E:\\notes.txt", HIDDEN}, {"E:\\AUTORUN.INF", IMMUNITY_FOLDER, true}, {"E:\\tools.exe", HIDDEN, true}},
         "E",
         {}},
        {"SubFoldersNever",
         {{"E:\\sub\\x.exe", HIDDEN}, {"E:\\sub\\AUTORUN.INF", NORMAL}, {"E:\\sub\\deeper\\y.inf", HIDDEN}},
         "E",
         {}},
        {"TwoDrivesInOneListDriveByDrive",
         {{"F:\\autorun.inf", NORMAL}, {"F:\\z.scr", HIDDEN}, {"E:\\AUTORUN.INF", NORMAL}, {"E:\\y.exe", HIDDEN},
          {"E:\\plain.exe", NORMAL}},
         "EF",
         {"E:\\AUTORUN.INF", "E:\\y.exe", "F:\\autorun.inf", "F:\\z.scr"}},
        {"EntriesLongerThanAHundredCharacters", {{longExe, HIDDEN}, {longInf, NORMAL}}, "EF", {longExe, longInf}},
        {"DriveWithoutRootContributesNothing", {{"E:\\AUTORUN.INF", NORMAL}}, "QE", {"E:\\AUTORUN.INF"}},
        {"NothingRisky", {{"E:\\readme.txt", NORMAL}, {"F:\\photo.jpg", HIDDEN}}, "EF", {}},
    };
}

class ShieldRootScan : public ShieldPageTest, public testing::WithParamInterface<RootCase> {};

TEST_P(ShieldRootScan, ListsInfFilesAndHiddenRiskyFilesOfTheRootsOnly) {
    const RootCase& c = GetParam();
    for (const Entry& entry : c.entries) Put(entry);
    Scan(c.letters);

    std::vector<std::string> paths = Paths();
    const std::string letters = c.letters;
    auto byDrive = [&](const std::string& a, const std::string& b) { return letters.find(a[0]) < letters.find(b[0]); };
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end(), byDrive)) << "drive by drive";
    auto byDriveThenPath = [&](const std::string& a, const std::string& b) {
        return byDrive(a, b) || (!byDrive(b, a) && a < b);
    };
    std::vector<std::string> expected = c.expected;
    std::sort(paths.begin(), paths.end(), byDriveThenPath);
    std::sort(expected.begin(), expected.end(), byDriveThenPath);
    EXPECT_EQ(expected, paths);
    EXPECT_EQ(std::vector<std::string>(expected.size(), RISKY), States());
    EXPECT_EQ(expected.empty() ? "No threat found" : std::to_string(expected.size()) + " threats found",
              page.StatusText());
    EXPECT_TRUE(ButtonsEnabled());
}

INSTANTIATE_TEST_SUITE_P(, ShieldRootScan, testing::ValuesIn(RootCases()),
                         [](const testing::TestParamInfo<RootCase>& info) { return info.param.name; });

// The check changes the buttons, the rows and the status line many times: a
// shown page draws nothing meanwhile and is drawn once, after it.
TEST_F(ShieldPageTest, AShownPageIsDrawnOnceAfterTheCheckWithItsButtonsDisabledDuringIt) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    Put({"F:\\run.exe", HIDDEN});
    SetWindowPos(page.Hwnd(), HWND_TOP, 0, 0, 750, 450, SWP_SHOWWINDOW);
    ShowWindow(m_parent, SW_SHOWNOACTIVATE);
    RedrawWindow(m_parent, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

    int buttonDraws = 0;
    std::vector<bool> disabledAtInsert;
    MessageWatch pageWatch(page.Hwnd(), [&](UINT msg, WPARAM, LPARAM) {
        if (msg == WM_DRAWITEM) ++buttonDraws;
    });
    MessageWatch listWatch(page.Findings().Hwnd(), [&](UINT msg, WPARAM, LPARAM) {
        if (msg == LVM_INSERTITEMA) disabledAtInsert.push_back(ButtonsDisabled());
    });
    Scan("EF");
    EXPECT_EQ(0, buttonDraws) << "drawn during the check";
    EXPECT_EQ(std::vector<bool>(2, true), disabledAtInsert);
    EXPECT_TRUE(IsWindowVisible(page.Hwnd()));
    EXPECT_TRUE(ButtonsEnabled());

    // Everything waits for the one repaint, which shows the final state.
    for (HWND control : {page.Findings().Hwnd(), page.Item(IDC_SHIELD_STATUS), page.DeleteButton(), page.DeleteAllButton()})
        EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE)) << control;
    RedrawWindow(page.Hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_LE(2, buttonDraws);
    EXPECT_EQ("2 threats found", page.StatusText());
    ShowWindow(m_parent, SW_HIDE);
}

TEST_F(ShieldPageTest, ACheckLeavesAHiddenPageHidden) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    ShowWindow(page.Hwnd(), SW_HIDE);
    Scan("E");
    EXPECT_FALSE(GetWindowLongA(page.Hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(std::vector<std::string>{"E:\\AUTORUN.INF"}, Paths());
    EXPECT_EQ("1 threats found", page.StatusText());
    EXPECT_TRUE(ButtonsEnabled());
}

// ---------------------------------------------------------------- single delete

TEST_F(ShieldPageTest, AnEmptyListAnswersNoThreatFound) {
    Scan("E");
    vxtest::ExpectMessage("No threat found");
    page.OnDelete();
    vxtest::ExpectMessage("No threat found");
    page.OnDeleteAll();
    EXPECT_FALSE(page.IsDeletingAll());
    EXPECT_EQ(2u, vxtest::ShownMessages().size());
}

TEST_F(ShieldPageTest, NoSelectionAsksForOne) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    Scan("E");
    vxtest::ExpectMessage("Please select a file");
    page.OnDelete();
    EXPECT_TRUE(vxtest::FileExists("E:\\AUTORUN.INF"));
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
}

TEST_F(ShieldPageTest, CancelledDeleteChangesNothing) {
    Put({"E:\\AUTORUN.INF", HIDDEN_READ_ONLY});
    Scan("E");
    page.Findings().Select(0);
    vxtest::ExpectMessage("Delete: E:\\AUTORUN.INF?", IDCANCEL);
    page.OnDelete();
    EXPECT_TRUE(HasAttributes("E:\\AUTORUN.INF", HIDDEN_READ_ONLY));
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
    EXPECT_TRUE(QuarantinedOrigins().empty());
    EXPECT_EQ(1u, vxtest::ShownMessages().size());
}

struct DeleteCase {
    const char* name;
    enum { PRESENT, GONE, HELD_OPEN } file;
    const char* state;
};

class ShieldDelete : public ShieldPageTest, public testing::WithParamInterface<DeleteCase> {};

TEST_P(ShieldDelete, ConfirmedDeleteQuarantinesTheSelectedFileAndMarksItsRow) {
    const DeleteCase& c = GetParam();
    const std::string target = "E:\\Setup.exe";
    Put({"E:\\AUTORUN.INF", NORMAL});
    Put({target, HIDDEN_READ_ONLY});
    Scan("E");
    const int row = RowOf(target);
    ASSERT_GE(row, 0);
    page.Findings().Select(row);

    ui::ScopedFile held;
    if (c.file == DeleteCase::GONE) {
        SetFileAttributesA(target.c_str(), NORMAL);
        ASSERT_TRUE(DeleteFileA(target.c_str()));
    } else if (c.file == DeleteCase::HELD_OPEN) {
        held.Reset(CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
    }
    vxtest::ExpectMessage("Delete: " + target + "?", IDOK);
    if (c.file != DeleteCase::GONE) vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDelete();

    std::vector<std::string> states(2, RISKY);
    states[row] = c.state;
    EXPECT_EQ(states, States()) << "the row stays, with its state";
    EXPECT_TRUE(vxtest::FileExists("E:\\AUTORUN.INF"));
    if (c.file == DeleteCase::PRESENT) {
        EXPECT_FALSE(vxtest::FileExists(target));
        EXPECT_EQ(std::vector<std::string>{target}, QuarantinedOrigins());
    } else {
        EXPECT_TRUE(QuarantinedOrigins().empty());
    }
    if (c.file == DeleteCase::HELD_OPEN) {
        EXPECT_TRUE(HasAttributes(target, HIDDEN_READ_ONLY)) << "a file that stays keeps its attributes";
    }
}

INSTANTIATE_TEST_SUITE_P(, ShieldDelete,
                         testing::Values(DeleteCase{"Present", DeleteCase::PRESENT, DELETED},
                                         DeleteCase{"AlreadyGone", DeleteCase::GONE, DELETED},
                                         DeleteCase{"HeldOpenElsewhere", DeleteCase::HELD_OPEN, DELETE_FAILED}),
                         [](const testing::TestParamInfo<DeleteCase>& info) { return info.param.name; });

// ---------------------------------------------------------------- delete all

TEST_F(ShieldPageTest, CancelledDeleteAllChangesNothing) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    Scan("E");
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDCANCEL);
    page.OnDeleteAll();
    EXPECT_FALSE(page.IsDeletingAll());
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(vxtest::FileExists("E:\\AUTORUN.INF"));
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
}

TEST_F(ShieldPageTest, DeleteAllMarksEveryRowWithTheButtonsDisabledUntilItEnds) {
    const std::vector<Entry> files = {{"E:\\AUTORUN.INF", HIDDEN_READ_ONLY},
                                      {"E:\\Setup.exe", HIDDEN},
                                      {"F:\\setup.inf", NORMAL},
                                      {"F:\\held.exe", HIDDEN}};
    for (const Entry& file : files) Put(file);
    Scan("EF");
    ASSERT_EQ(4, page.Findings().GetItemCount());
    ui::ScopedFile held(CreateFileA("F:\\held.exe", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());

    std::vector<StateWrite> writes;
    auto watch = WatchStateWrites(writes);
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    vxtest::ExpectMessage(REPLUG_USB);
    page.OnDeleteAll();
    EXPECT_TRUE(ButtonsDisabled()) << "from the moment it starts";
    WaitForDeleteAll();

    std::vector<std::string> expectedStates;
    for (const std::string& path : Paths()) expectedStates.push_back(path == "F:\\held.exe" ? DELETE_FAILED : DELETED);
    EXPECT_EQ(expectedStates, States());
    ASSERT_EQ(4u, writes.size()) << "one state per row";
    for (const StateWrite& write : writes) {
        EXPECT_FALSE(write.deleteEnabled) << "row " << write.row;
        EXPECT_FALSE(write.deleteAllEnabled) << "row " << write.row;
    }
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_EQ(3u, vxtest::ShownMessages().size());
    EXPECT_EQ(Sorted({"E:\\AUTORUN.INF", "E:\\Setup.exe", "F:\\setup.inf"}), QuarantinedOrigins());
    EXPECT_TRUE(HasAttributes("F:\\held.exe", HIDDEN)) << "a file that stays keeps its attributes";
}

// Holds the store's open of one file on the thread that opens it, until released.
struct FileGate {
    std::string path;
    ui::ScopedHandle entered{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ui::ScopedHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};
FileGate* g_gate = nullptr;

HANDLE WINAPI GatedCreateFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (g_gate && g_gate->path == name) {
        SetEvent(g_gate->entered);
        WaitForSingleObject(g_gate->release, 10000);
    }
    return CreateFileA(name, access, share, security, disposition, flags, templateFile);
}

// A device change rescans the roots while delete-all is half-way: right after
// the first row's state is written (the thread waits for that message), or
// while the thread is quarantining the second row's file.
enum class Rescan { AFTER_FIRST_STATE, WHILE_SECOND_FILE_IN_HAND };

class ShieldScanDuringDeleteAll : public ShieldPageTest, public testing::WithParamInterface<Rescan> {
protected:
    void TearDown() override {
        ShieldPageTest::TearDown();
        g_gate = nullptr;
        g_quarantineIo = DefaultQuarantineIo();
    }
};

TEST_P(ShieldScanDuringDeleteAll, LeavesAConsistentListAndTheOldThreadStops) {
    for (const char* name : {"E:\\AUTORUN.INF", "E:\\a.exe", "E:\\b.exe", "E:\\c.vbs", "E:\\d.scr", "E:\\e.bat"})
        Put({name, HIDDEN});
    Scan("E");
    const std::vector<std::string> oldPaths = Paths();
    ASSERT_EQ(6u, oldPaths.size());
    // Made only for the second scan: the old thread must leave them alone.
    const std::vector<std::string> newOnly = {"E:\\late.exe", "F:\\autorun.inf", "F:\\f.exe", "F:\\g.vbs",
                                              "F:\\h.cmd"};
    auto rescan = [&] {
        for (const std::string& path : newOnly) Put({path, HIDDEN});
        Scan("EF");
    };

    std::vector<StateWrite> writes;
    auto watch = WatchStateWrites(writes, [&] {
        if (GetParam() == Rescan::AFTER_FIRST_STATE) rescan();
    });
    FileGate gate;
    if (GetParam() == Rescan::WHILE_SECOND_FILE_IN_HAND) {
        gate.path = oldPaths[1];
        g_gate = &gate;
        g_quarantineIo.createFile = GatedCreateFile;
    }
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    vxtest::ExpectMessage(REPLUG_USB);
    page.OnDeleteAll();
    if (GetParam() == Rescan::WHILE_SECOND_FILE_IN_HAND) {
        ASSERT_TRUE(vxtest::PumpUntil([&] { return WaitForSingleObject(gate.entered, 0) == WAIT_OBJECT_0; }));
        // The scan starts while the file is in the thread's hands; a scan that
        // did not wait for it would list a file that is gone a moment later.
        std::thread releaser([&] {
            Sleep(300);
            SetEvent(gate.release);
        });
        rescan();
        releaser.join();
    }
    WaitForDeleteAll();

    // The new list is the disk as it is now, all "Risky".
    const std::vector<std::string> listed = Paths();
    EXPECT_EQ(std::vector<std::string>(listed.size(), RISKY), States()) << "no old state in a new row";
    for (const std::string& path : listed) EXPECT_TRUE(vxtest::FileExists(path)) << path;
    for (const std::string& path : newOnly) {
        EXPECT_TRUE(HasAttributes(path, HIDDEN)) << path << " was never in the old thread's copy";
        EXPECT_TRUE(Contains(listed, path)) << path;
    }
    for (const std::string& path : oldPaths) EXPECT_NE(vxtest::FileExists(path), !Contains(listed, path)) << path;
    // The old thread stopped after the file in its hands.
    const size_t handled = GetParam() == Rescan::AFTER_FIRST_STATE ? 1 : 2;
    const std::vector<std::string> deleted(oldPaths.begin(), oldPaths.begin() + handled);
    for (const std::string& path : oldPaths) EXPECT_EQ(Contains(deleted, path), !vxtest::FileExists(path)) << path;
    EXPECT_EQ(Sorted(deleted), QuarantinedOrigins());
    EXPECT_EQ(1u, writes.size()) << "only the first row's state, into the old list";
    EXPECT_EQ(std::to_string(listed.size()) + " threats found", page.StatusText());
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_EQ(3u, vxtest::ShownMessages().size());
}

INSTANTIATE_TEST_SUITE_P(, ShieldScanDuringDeleteAll,
                         testing::Values(Rescan::AFTER_FIRST_STATE, Rescan::WHILE_SECOND_FILE_IN_HAND),
                         [](const testing::TestParamInfo<Rescan>& info) {
                             return info.param == Rescan::AFTER_FIRST_STATE ? "AfterFirstState"
                                                                            : "WhileSecondFileInHand";
                         });

TEST_F(ShieldPageTest, ASecondDriveDuringALongDeleteAllLeavesTheWindowResponsive) {
    Put({"E:\\big.exe", HIDDEN});
    Scan("E");
    vxtest::SlowQuarantineWrites slow;
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    vxtest::ExpectMessage(REPLUG_USB);
    page.OnDeleteAll();
    ASSERT_TRUE(slow.WaitUntilWriting());

    // While the new scan waits for the file in hand, the window must answer:
    // a message sent to it, and one posted to this thread's queue, as input is.
    const UINT kPosted = WM_APP + 77;
    std::atomic<bool> answered{false}, dispatched{false};
    MessageWatch postedSeen(m_parent, [&](UINT msg, WPARAM, LPARAM) {
        if (msg == kPosted) dispatched = true;
    });
    std::thread probe([&] {
        Sleep(200);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(page.Hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0;
        PostMessageA(m_parent, kPosted, 0, 0);
        for (int i = 0; i < 300 && !dispatched; ++i) Sleep(10);
        slow.Release();
    });
    Put({"F:\\autorun.inf", NORMAL});
    Scan("EF");
    probe.join();
    EXPECT_TRUE(answered) << "the window froze while the scan waited";
    EXPECT_TRUE(dispatched) << "the message loop stood still while the scan waited";
    WaitForDeleteAll();
    EXPECT_FALSE(vxtest::FileExists("E:\\big.exe")) << "the file in hand was finished";
    EXPECT_EQ(std::vector<std::string>{"F:\\autorun.inf"}, Paths()) << "the list is the disk as it is now";
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
}

TEST_F(ShieldPageTest, NoReplugMessageWhenARescanSupersededEveryRow) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    Scan("E");
    // The thread's "Please wait" stays open until the drive has been checked again.
    ui::ScopedHandle waitShown(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ui::ScopedHandle rescanned(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ui::MessageResponder answer;
    answer = ui::SetMessageResponder([&](const std::string& text, UINT type) {
        int result = answer(text, type);
        if (text == PLEASE_WAIT) {
            SetEvent(waitShown);
            WaitForSingleObject(rescanned, 10000);
        }
        return result;
    });
    struct Restore {
        ui::MessageResponder& answer;
        ~Restore() { ui::SetMessageResponder(answer); }
    } restore{answer};
    vxtest::ExpectMessage(CONFIRM_DELETE_ALL, IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDeleteAll();
    ASSERT_TRUE(vxtest::PumpUntil([&] { return WaitForSingleObject(waitShown, 0) == WAIT_OBJECT_0; }));
    Scan("E");
    SetEvent(rescanned);
    WaitForDeleteAll();
    EXPECT_TRUE(vxtest::FileExists("E:\\AUTORUN.INF")) << "the thread deleted a row of the old scan";
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
    EXPECT_EQ(2u, vxtest::ShownMessages().size()) << "nothing to re-plug for: nothing was deleted";
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(ShieldPageTest, ItsMessagesPostedByAnotherProgramChangeNothing) {
    Put({"E:\\AUTORUN.INF", NORMAL});
    Scan("E");
    // Any process on the desktop can post the delete-all thread's messages.
    const UINT claimRow = WM_APP + 0x110, rowState = WM_APP + 0x111, done = WM_APP + 0x112;
    std::thread other([&] {
        for (LPARAM value : {LPARAM(0), LPARAM(1), LPARAM(0x12345678), LPARAM(IDS_DELETED)}) {
            PostMessageA(page.Hwnd(), claimRow, 0, value);
            PostMessageA(page.Hwnd(), rowState, 0, value);
            PostMessageA(page.Hwnd(), done, 0, value);
        }
    });
    other.join();
    vxtest::PumpFor(100);
    EXPECT_EQ(std::vector<std::string>{RISKY}, States());
    EXPECT_TRUE(ButtonsEnabled());
    Scan("E");  // no claim is left for it to wait on
    EXPECT_EQ(std::vector<std::string>{"E:\\AUTORUN.INF"}, Paths());
    EXPECT_TRUE(vxtest::FileExists("E:\\AUTORUN.INF"));
}

// ---------------------------------------------------------------- picture

TEST_F(ShieldPageTest, ScreenshotWithFindings) {
    Put({"E:\\AUTORUN.INF", HIDDEN_READ_ONLY});
    Put({"E:\\RECYCLER.exe", HIDDEN});
    Put({"F:\\autorun.inf", NORMAL});
    Put({"F:\\" + std::string(110, 'n') + ".vbs", HIDDEN});
    Scan("EF");
    page.Findings().Select(RowOf("E:\\RECYCLER.exe"));
    vxtest::ExpectMessage("Delete: E:\\RECYCLER.exe?", IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    page.OnDelete();
    // At the main window's place and size for a page.
    SetWindowPos(m_parent, nullptr, 0, 0, 750, 450, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(page.Hwnd(), HWND_TOP, 0, 0, 750, 450, SWP_SHOWWINDOW);
    ShowWindow(m_parent, SW_SHOW);
    vxtest::PumpFor(500);
    std::string shot = vxtest::SaveScreenshot(m_parent, "shield_page_findings");
    EXPECT_NE("", shot);
    ShowWindow(m_parent, SW_HIDE);
}

}  // namespace
