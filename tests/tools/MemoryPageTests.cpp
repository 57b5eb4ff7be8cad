#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainDialog.h"
#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "tools/MemoryPage.h"
#include "usb/ProcessTools.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char UNVERSIONED_PROGRAM[] = "W:\\fixtures\\IdleProgram.exe";
const char VERSIONED_PROGRAM[] = "W:\\fixtures\\IdleProgramVersioned.exe";
const char QUARANTINE_FOLDER[] = "W:\\quarantine\\";
// The test programs run from copies under here.
const char WORK_FOLDER[] = "C:\\vxmemory\\";
// A name the tests give the Windows folder, so that it counts as a system
// file's name. Wine does not ship it, so its version information is read
// from the file itself, not from a built-in copy.
const char SYSTEM_NAME[] = "vxhostsvc.exe";
const char OTHER_NAME[] = "vxplainapp.exe";

const char RISKY[] = "Risky";
const char SUSPICIOUS[] = "Suspicious";
const char AT_RISK[] = "Your computer is at risk!";
const char NO_THREAT[] = "No threat found";
const char SELECT_FILE[] = "Please select a file";
const char PLEASE_WAIT[] = "Please wait for a while";
const char DELETED[] = "Deleted";
const char DELETE_FAILED[] = "Delete failed";

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

// A test program started from a copy at `path`, ended with the object.
class TestProcess {
public:
    TestProcess(const std::string& source, const std::string& path, DWORD attributes) : m_path(path) {
        CreateDirectoryA(WORK_FOLDER, nullptr);
        CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << path;
        EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
        std::string command = "\"" + path + "\" 120";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            ADD_FAILURE() << "cannot start " << path << ": " << GetLastError();
            return;
        }
        CloseHandle(info.hThread);
        m_process = info.hProcess;
        m_id = info.dwProcessId;
        // Listed only once its program file can be found.
        EXPECT_TRUE(vxtest::PumpUntil([&] { return lstrcmpiA(GetProcessExePath(m_id).c_str(), path.c_str()) == 0; }))
            << path;
    }
    ~TestProcess() { End(); }
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    void End() {
        if (!m_process) return;
        TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 10000);
        CloseHandle(m_process);
        m_process = nullptr;
    }
    bool Running() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    DWORD Id() const { return m_id; }
    const std::string& Path() const { return m_path; }
    std::string Name() const { return m_path.substr(m_path.rfind('\\') + 1); }

private:
    std::string m_path;
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

// The verdict of process `id` in `suspects`, or "" when it is not listed.
std::string VerdictOf(const std::vector<SuspectProcess>& suspects, DWORD id) {
    for (const SuspectProcess& suspect : suspects) {
        if (suspect.id == id) return suspect.verdictId == IDS_RISKY ? RISKY : SUSPICIOUS;
    }
    return "";
}

// Every row with its process id, as the page shows them.
struct Row {
    std::string name, verdict, path;
    DWORD id;
    bool operator==(const Row& o) const { return name == o.name && verdict == o.verdict && path == o.path && id == o.id; }
};
void PrintTo(const Row& row, std::ostream* out) {
    *out << "{" << row.name << " | " << row.verdict << " | " << row.path << " | " << row.id << "}";
}
std::vector<Row> Rows(MemoryPage& page) {
    std::vector<Row> rows;
    EXPECT_EQ(static_cast<size_t>(page.Processes().GetItemCount()), page.ProcessIds().size());
    for (int row = 0; row < page.Processes().GetItemCount(); ++row) {
        rows.push_back({page.Processes().GetItemText(row, 0), page.Processes().GetItemText(row, 1),
                        page.Processes().GetItemText(row, 2),
                        static_cast<size_t>(row) < page.ProcessIds().size() ? page.ProcessIds()[row] : 0});
    }
    return rows;
}
// The rows of the test's own processes, in list order.
std::vector<Row> OurRows(MemoryPage& page) {
    std::vector<Row> rows;
    for (const Row& row : Rows(page))
        if (_strnicmp(row.path.c_str(), WORK_FOLDER, strlen(WORK_FOLDER)) == 0) rows.push_back(row);
    return rows;
}
Row RowOf(const TestProcess& process, const char* verdict) {
    return {process.Name(), verdict, process.Path(), process.Id()};
}

class MemoryGuardTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The name becomes a system file's name; the copy there is visible and
        // has no version information.
        CopyFileA(UNVERSIONED_PROGRAM, (SystemFolder() + "\\" + SYSTEM_NAME).c_str(), FALSE);
    }
    static void TearDownTestSuite() { DeleteFileA((SystemFolder() + "\\" + SYSTEM_NAME).c_str()); }
    void SetUp() override {
        vxtest::EmptyFolder(WORK_FOLDER);
        vxtest::EmptyFolder(QUARANTINE_FOLDER);
    }
    void TearDown() override {
        processes.clear();
        vxtest::EmptyFolder(WORK_FOLDER);
        vxtest::EmptyFolder(QUARANTINE_FOLDER);
        RemoveDirectoryA(WORK_FOLDER);
        RemoveDirectoryA(QUARANTINE_FOLDER);
    }

    // Starts `source` as WORK_FOLDER\<folder>\<name>.
    TestProcess& Start(const char* source, const char* folder, const char* name, DWORD attributes) {
        std::string path = std::string(WORK_FOLDER) + folder + "\\" + name;
        processes.push_back(std::make_unique<TestProcess>(source, path, attributes));
        return *processes.back();
    }

    std::vector<std::unique_ptr<TestProcess>> processes;
};

TEST_F(MemoryGuardTest, SystemFolderLookupsFindFilesOnly) {
    char found[256];
    EXPECT_TRUE(FindInSystemDirectories(SYSTEM_NAME, found));
    EXPECT_EQ(0, lstrcmpiA((SystemFolder() + "\\" + SYSTEM_NAME).c_str(), found));
    EXPECT_TRUE(IsSystemFileName(SYSTEM_NAME));
    EXPECT_TRUE(IsSystemFileName("VXHOSTSVC.EXE"));

    // A folder of that name is no file.
    for (const char* name : {OTHER_NAME, "system32", "drivers", ""}) {
        strcpy(found, "untouched");
        EXPECT_FALSE(FindInSystemDirectories(name, found)) << name;
        EXPECT_STREQ("Unknown", found) << name;
        EXPECT_FALSE(IsSystemFileName(name)) << name;
    }
}

TEST_F(MemoryGuardTest, VersionInformationIsReadFromTheFile) {
    EXPECT_TRUE(HasVersionInfo(VERSIONED_PROGRAM));
    EXPECT_FALSE(HasVersionInfo(UNVERSIONED_PROGRAM));
    EXPECT_FALSE(HasVersionInfo("C:\\vxmemory\\absent.exe"));
    // What a process gets when its file is found nowhere.
    EXPECT_TRUE(HasVersionInfo("Unknown"));
    EXPECT_TRUE(HasVersionInfo("UNKNOWN"));
    EXPECT_FALSE(HasVersionInfo("Unknown.exe"));
}

TEST_F(MemoryGuardTest, EachRuleOfTheManualRebuildAndTheMonitorGivesItsVerdict) {
    const DWORD HIDDEN = FILE_ATTRIBUTE_HIDDEN, VISIBLE = FILE_ATTRIBUTE_NORMAL;
    struct Case {
        const char* folder;
        const char* source;
        const char* name;
        DWORD attributes;
        const char* manual;   // verdict of the manual rebuild, "" when not listed
        const char* monitor;  // verdict of the monitor
    } cases[] = {
        {"a", UNVERSIONED_PROGRAM, SYSTEM_NAME, HIDDEN, RISKY, RISKY},
        {"b", VERSIONED_PROGRAM, SYSTEM_NAME, HIDDEN, RISKY, ""},
        {"c", UNVERSIONED_PROGRAM, SYSTEM_NAME, VISIBLE, SUSPICIOUS, ""},
        {"d", VERSIONED_PROGRAM, SYSTEM_NAME, VISIBLE, "", ""},
        {"e", UNVERSIONED_PROGRAM, OTHER_NAME, VISIBLE, "", ""},
        {"f", UNVERSIONED_PROGRAM, OTHER_NAME, HIDDEN, RISKY, ""},
        {"g", VERSIONED_PROGRAM, OTHER_NAME, VISIBLE, "", ""},
    };
    for (const Case& c : cases) Start(c.source, c.folder, c.name, c.attributes);

    std::vector<SuspectProcess> manual = FindSuspectProcesses(SuspectRule::Full);
    std::vector<SuspectProcess> monitor = FindSuspectProcesses(SuspectRule::Monitor);
    for (size_t i = 0; i < processes.size(); ++i) {
        EXPECT_EQ(cases[i].manual, VerdictOf(manual, processes[i]->Id())) << processes[i]->Path();
        EXPECT_EQ(cases[i].monitor, VerdictOf(monitor, processes[i]->Id())) << processes[i]->Path();
    }
    // Wine's own services have no version information, so the manual
    // rebuild lists them too; of the test's processes only these are listed.
    auto ours = [&](const std::vector<SuspectProcess>& suspects) {
        std::vector<SuspectProcess> mine;
        for (const SuspectProcess& suspect : suspects) {
            auto same = [&](const std::unique_ptr<TestProcess>& p) { return p->Id() == suspect.id; };
            auto process = std::find_if(processes.begin(), processes.end(), same);
            if (process == processes.end()) continue;
            EXPECT_EQ((*process)->Path(), suspect.path);
            EXPECT_EQ((*process)->Name(), suspect.name);
            mine.push_back(suspect);
        }
        return mine;
    };
    EXPECT_EQ(4u, ours(manual).size());
    EXPECT_EQ(1u, ours(monitor).size());
    EXPECT_EQ(1u, monitor.size()) << "the monitor lists nothing of the system's own";
}

// A page of its own, in a plain top-level window, its monitor stopped so
// that only the test changes the rows.
class MemoryPageTest : public MemoryGuardTest {
protected:
    void SetUp() override {
        MemoryGuardTest::SetUp();
        host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(host);
        ASSERT_TRUE(page.Create(host));
        page.StopMonitor();
    }
    void TearDown() override {
        page.DestroyWindow();
        DestroyWindow(host);
        MemoryGuardTest::TearDown();
    }
    void SelectRowOf(DWORD id) {
        const std::vector<DWORD>& ids = page.ProcessIds();
        auto at = std::find(ids.begin(), ids.end(), id);
        ASSERT_NE(ids.end(), at);
        ASSERT_TRUE(page.Processes().Select(static_cast<int>(at - ids.begin())));
    }
    std::vector<std::string> QuarantinedOrigins() {
        std::vector<std::string> origins;
        for (const std::string& copy : vxtest::ListFolder(QUARANTINE_FOLDER, "*.bq")) {
            char origin[QUARANTINE_PATH_MAX + 1] = "";
            EXPECT_TRUE(ReadQuarantineOrigin(copy.c_str(), origin));
            origins.push_back(origin);
        }
        return origins;
    }

    HWND host = nullptr;
    MemoryPage page;
};

TEST_F(MemoryPageTest, ManualRebuildShowsRowsIdsAndTheVerdictLine) {
    EXPECT_EQ(0, page.Processes().GetItemCount()) << "empty until the first pass";
    page.ShowSuspects({});
    EXPECT_EQ(NO_THREAT, page.VerdictText());

    TestProcess& risky = Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    TestProcess& suspicious = Start(UNVERSIONED_PROGRAM, "c", SYSTEM_NAME, FILE_ATTRIBUTE_NORMAL);
    Start(VERSIONED_PROGRAM, "d", SYSTEM_NAME, FILE_ATTRIBUTE_NORMAL);
    page.RefreshProcessList();
    std::vector<Row> rows = OurRows(page);
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.path < b.path; });
    EXPECT_EQ((std::vector<Row>{RowOf(risky, RISKY), RowOf(suspicious, SUSPICIOUS)}), rows);
    // Every row's id runs the program file the row names.
    for (const Row& row : Rows(page)) EXPECT_EQ(0, lstrcmpiA(row.path.c_str(), GetProcessExePath(row.id).c_str()));
    EXPECT_EQ(AT_RISK, page.VerdictText());
}

TEST_F(MemoryPageTest, ListsLongerThan256RowsWhole) {
    std::vector<SuspectProcess> many;
    for (DWORD i = 0; i < 300; ++i)
        many.push_back({1000 + 4 * i, "p" + std::to_string(i) + ".exe", "C:\\x\\p" + std::to_string(i) + ".exe",
                        static_cast<UINT>(i % 2 ? IDS_SUSPICIOUS : IDS_RISKY)});
    page.ShowSuspects(many);
    std::vector<Row> rows = Rows(page);
    ASSERT_EQ(300u, rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(many[i].id, rows[i].id) << i;
        EXPECT_EQ(many[i].path, rows[i].path) << i;
        EXPECT_EQ(i % 2 ? SUSPICIOUS : RISKY, rows[i].verdict) << i;
    }
    // A shorter list leaves no ids of the longer one behind.
    page.ShowSuspects({many[299]});
    EXPECT_EQ(std::vector<DWORD>{many[299].id}, page.ProcessIds());
}

TEST_F(MemoryPageTest, TheSelectionStaysWithItsProcessWhenTheRowsAreReplaced) {
    SuspectProcess a = {1004, "a.exe", "C:\\x\\a.exe", IDS_RISKY};
    SuspectProcess b = {1008, "b.exe", "C:\\x\\b.exe", IDS_RISKY};
    SuspectProcess c = {1012, "c.exe", "C:\\x\\c.exe", IDS_RISKY};
    page.ShowSuspects({a, b, c});
    ASSERT_TRUE(page.Processes().Select(1));
    page.ShowSuspects({c, a, b});
    EXPECT_EQ(2, page.Processes().GetFirstSelected());
    // The same id with another program file is another process.
    SuspectProcess reused = {1008, "d.exe", "C:\\x\\d.exe", IDS_RISKY};
    page.ShowSuspects({reused, a});
    EXPECT_EQ(-1, page.Processes().GetFirstSelected());
}

TEST_F(MemoryPageTest, EndingWithoutSelectionOrWithCancelEndsNothing) {
    vxtest::ExpectMessage(SELECT_FILE);
    page.OnTerminate();

    TestProcess& risky = Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    page.RefreshProcessList();
    vxtest::ExpectMessage(SELECT_FILE);
    page.OnTerminate();

    SelectRowOf(risky.Id());
    vxtest::ExpectMessage(std::string("Delete: ") + SYSTEM_NAME + "?", IDCANCEL);
    page.OnTerminate();
    EXPECT_TRUE(risky.Running());
    EXPECT_TRUE(vxtest::FileExists(risky.Path()));
    EXPECT_TRUE(QuarantinedOrigins().empty());
}

TEST_F(MemoryPageTest, OkEndsTheProcessAndQuarantinesItsFile) {
    TestProcess& other = Start(UNVERSIONED_PROGRAM, "b", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    TestProcess& risky = Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    page.RefreshProcessList();
    SelectRowOf(risky.Id());
    vxtest::ExpectMessage(std::string("Delete: ") + SYSTEM_NAME + "?", IDOK);
    vxtest::ExpectMessage(PLEASE_WAIT);
    vxtest::ExpectMessage(DELETED);
    page.OnTerminate();

    EXPECT_FALSE(risky.Running());
    EXPECT_FALSE(vxtest::FileExists(risky.Path())) << "the file was free once the process had gone";
    EXPECT_EQ(std::vector<std::string>{risky.Path()}, QuarantinedOrigins());
    EXPECT_TRUE(other.Running()) << "only the chosen process ends";
    EXPECT_EQ((std::vector<Row>{RowOf(other, RISKY)}), OurRows(page)) << "the list is rebuilt";
}

TEST_F(MemoryPageTest, AProcessAlreadyGoneIsNotReportedDeleted) {
    TestProcess& risky = Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    page.RefreshProcessList();
    SelectRowOf(risky.Id());
    risky.End();
    vxtest::ExpectMessage(std::string("Delete: ") + SYSTEM_NAME + "?", IDOK);
    vxtest::ExpectMessage(DELETE_FAILED);
    page.OnTerminate();
    EXPECT_TRUE(vxtest::FileExists(risky.Path()));
    EXPECT_NE(0u, GetFileAttributesA(risky.Path().c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(QuarantinedOrigins().empty());
    EXPECT_TRUE(OurRows(page).empty());
}

TEST_F(MemoryPageTest, AnIdTakenOverByAnotherProgramIsNotEnded) {
    // The row's process has gone and its id now runs another program: the
    // row still names the first program's file.
    TestProcess& chosen = Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    TestProcess& successor = Start(UNVERSIONED_PROGRAM, "e", OTHER_NAME, FILE_ATTRIBUTE_NORMAL);
    page.ShowSuspects({{successor.Id(), chosen.Name(), chosen.Path(), IDS_RISKY}});
    ASSERT_TRUE(page.Processes().Select(0));
    vxtest::ExpectMessage(std::string("Delete: ") + SYSTEM_NAME + "?", IDOK);
    vxtest::ExpectMessage(DELETE_FAILED);
    page.OnTerminate();
    EXPECT_TRUE(successor.Running());
    EXPECT_TRUE(chosen.Running());
    EXPECT_TRUE(vxtest::FileExists(chosen.Path()));
    EXPECT_TRUE(vxtest::FileExists(successor.Path()));
    EXPECT_TRUE(QuarantinedOrigins().empty());
}

// The monitor inside the main window, one pass at a time.
class MemoryMonitorTest : public MemoryGuardTest {
protected:
    void SetUp() override {
        MemoryGuardTest::SetUp();
        ASSERT_TRUE(dialog.Create(nullptr));
        vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); });
    }
    void TearDown() override {
        dialog.DestroyWindow();
        MemoryGuardTest::TearDown();
    }
    MemoryPage& Page() { return *static_cast<MemoryPage*>(dialog.Page(PAGE_MEMORY)); }

    // Hides the window on another page, runs one pass and says whether the
    // window came forward on the memory page.
    bool PassBringsWindowForward() {
        ShowWindow(dialog.Hwnd(), SW_HIDE);
        dialog.ShowPage(PAGE_INFO);
        unsigned before = Page().MonitorPasses();
        Page().WakeMonitor();
        EXPECT_TRUE(vxtest::PumpUntil([&] { return Page().MonitorPasses() > before; }, 20000));
        bool forward = IsWindowVisible(dialog.Hwnd()) && dialog.IsPageShown(PAGE_MEMORY);
        EXPECT_EQ(forward, IsWindowVisible(dialog.Hwnd())) << "forward means on the memory page";
        return forward;
    }

    MainDialog dialog;
};

TEST_F(MemoryMonitorTest, ComesForwardWhenTheCountChangesToANonZeroValue) {
    EXPECT_EQ(MemoryPage::MONITOR_FIRST_WAIT_MS, 5000u);
    EXPECT_EQ(MemoryPage::MONITOR_PERIOD_MS, 10000u);
    EXPECT_EQ(0u, Page().MonitorPasses()) << "the first pass waits";
    EXPECT_FALSE(PassBringsWindowForward()) << "0 -> 0";
    EXPECT_EQ(NO_THREAT, Page().VerdictText());

    // Listed by a manual rebuild, never by the monitor.
    Start(VERSIONED_PROGRAM, "b", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    Start(UNVERSIONED_PROGRAM, "c", SYSTEM_NAME, FILE_ATTRIBUTE_NORMAL);
    Page().RefreshProcessList();
    EXPECT_EQ(2u, OurRows(Page()).size());
    EXPECT_FALSE(PassBringsWindowForward()) << "0 -> 0, the manual rows replaced";
    EXPECT_EQ(0, Page().Processes().GetItemCount());

    TestProcess& first = Start(UNVERSIONED_PROGRAM, "a1", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(PassBringsWindowForward()) << "0 -> 1";
    EXPECT_EQ((std::vector<Row>{RowOf(first, RISKY)}), Rows(Page()));
    EXPECT_EQ(AT_RISK, Page().VerdictText());
    EXPECT_FALSE(PassBringsWindowForward()) << "1 -> 1";

    TestProcess& second = Start(UNVERSIONED_PROGRAM, "a2", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(PassBringsWindowForward()) << "1 -> 2";
    std::vector<Row> rows = Rows(Page());
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.path < b.path; });
    EXPECT_EQ((std::vector<Row>{RowOf(first, RISKY), RowOf(second, RISKY)}), rows);
    EXPECT_FALSE(PassBringsWindowForward()) << "2 -> 2";

    second.End();
    EXPECT_TRUE(PassBringsWindowForward()) << "2 -> 1";
    EXPECT_EQ((std::vector<Row>{RowOf(first, RISKY)}), Rows(Page()));

    first.End();
    EXPECT_FALSE(PassBringsWindowForward()) << "1 -> 0";
    EXPECT_EQ(0, Page().Processes().GetItemCount());
    EXPECT_EQ(NO_THREAT, Page().VerdictText());
}

TEST_F(MemoryMonitorTest, ScreenshotOfThePageWithRows) {
    Start(UNVERSIONED_PROGRAM, "a", SYSTEM_NAME, FILE_ATTRIBUTE_HIDDEN);
    Start(UNVERSIONED_PROGRAM, "c", SYSTEM_NAME, FILE_ATTRIBUTE_NORMAL);
    Start(UNVERSIONED_PROGRAM, "f", OTHER_NAME, FILE_ATTRIBUTE_HIDDEN);
    Page().StopMonitor();
    ShowWindow(dialog.Hwnd(), SW_RESTORE);
    dialog.ShowPage(PAGE_MEMORY);
    Page().RefreshProcessList();
    ASSERT_EQ(3u, OurRows(Page()).size());
    Page().Processes().Select(0);
    EXPECT_NE("", vxtest::SaveScreenshot(dialog.Hwnd(), "memory_page"));
}

}  // namespace
