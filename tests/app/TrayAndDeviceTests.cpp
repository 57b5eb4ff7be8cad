#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/MainDialog.h"
#include "app/TrayIcon.h"
#include "tests/common/TestSupport.h"
#include "ui/Controls.h"
#include "ui/Guards.h"

namespace {

using vxtest::TrayIconPresent;
using Row = std::pair<std::string, std::string>;

std::string CellText(HWND list, int row, int column) {
    char text[1024] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<Row> Rows(HWND list) {
    std::vector<Row> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) rows.push_back({CellText(list, i, 0), CellText(list, i, 1)});
    return rows;
}

// Rows come drive by drive; within a drive, in the order the folder lists them.
void ExpectRowsDriveByDrive(std::vector<Row> rows, std::vector<std::string> expected) {
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_LE(rows[i - 1].first[0], rows[i].first[0]) << "rows must come drive by drive";
    std::vector<std::string> paths;
    for (const Row& row : rows) {
        EXPECT_EQ("Risky", row.second) << row.first;
        paths.push_back(row.first);
    }
    std::sort(paths.begin(), paths.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, paths);
}

void SetHidden(const std::string& path, DWORD extra = 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | extra);
}

// The real main window, run modally as the program runs it, on the sandbox's
// removable drives E: and F:.
class MainWindowOnDrives : public testing::Test {
protected:
    void SetUp() override {
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
    }
    void TearDown() override {
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
        vxtest::EmptyFolder("W:\\quarantine");
        RemoveDirectoryA("W:\\quarantine");
    }

    void LayOutThreats() {
        vxtest::WriteFile("E:\\AUTORUN.INF", "[autorun]\r\nopen=x.exe\r\n");
        vxtest::WriteFile("E:\\Setup.exe", "MZ sample");
        SetHidden("E:\\Setup.exe");
        vxtest::WriteFile("E:\\run.exe", "MZ visible, not listed");
        CreateDirectoryA("E:\\sub", nullptr);
        vxtest::WriteFile("E:\\sub\\x.exe", "MZ in a sub-folder, not listed");
        SetHidden("E:\\sub\\x.exe");
        vxtest::WriteFile("F:\\setup.inf", "[autorun]\r\n");
        SetHidden("F:\\setup.inf", FILE_ATTRIBUTE_READONLY);
        CreateDirectoryA("F:\\AUTORUN.INF", nullptr);
    }

    // Runs the main window and `script` inside its loop, once it has settled
    // hidden in the notification area.
    void Run(const std::function<void()>& script) {
        vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); }, [&] {
            ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
            list = GetDlgItem(dialog.Shield().Hwnd(), IDC_SHIELD_LIST);
            status = GetDlgItem(dialog.Shield().Hwnd(), IDC_SHIELD_STATUS);
            script();
            if (dialog.IsModal()) dialog.OnTrayExit();
        });
    }

    void Send(WPARAM event) { SendMessageA(dialog.Hwnd(), WM_DEVICECHANGE, event, 0); }
    std::string Status() { return ui::GetWindowTextString(status); }

    MainDialog dialog;
    INT_PTR result = 0;
    HWND list = nullptr;
    HWND status = nullptr;
};

TEST_F(MainWindowOnDrives, ArrivalRestoresTheWindowOnTheShieldPageAndListsTheRootThreats) {
    LayOutThreats();
    Run([&] {
        dialog.ShowPage(PAGE_INFO);
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<char*>("stale row");
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));

        Send(DBT_DEVICEARRIVAL);
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd()));
        EXPECT_TRUE(dialog.IsPageShown(PAGE_SHIELD));
        ExpectRowsDriveByDrive(Rows(list), {"E:\\AUTORUN.INF", "E:\\Setup.exe", "F:\\setup.inf"});
        EXPECT_EQ("3 threats found", Status());
        vxtest::SaveScreenshot(dialog.Hwnd(), "shield-arrival");
    });
}

TEST_F(MainWindowOnDrives, StartUpChecksTheDrivesAlreadyPlugged) {
    LayOutThreats();
    Run([&] {
        EXPECT_TRUE(dialog.IsPageShown(PAGE_SHIELD));
        EXPECT_EQ(3u, Rows(list).size());
        EXPECT_EQ("3 threats found", Status());
    });
}

TEST_F(MainWindowOnDrives, DrivesWithNothingRiskyGiveNoThreatFound) {
    vxtest::WriteFile("E:\\notes.txt", "hello");
    vxtest::WriteFile("F:\\run.exe", "MZ visible");
    Run([&] {
        Send(DBT_DEVICEARRIVAL);
        EXPECT_TRUE(Rows(list).empty());
        EXPECT_EQ("No threat found", Status());
    });
}

TEST_F(MainWindowOnDrives, RemovingOneOfTwoDrivesRescansTheOneThatRemains) {
    LayOutThreats();
    Run([&] {
        vxtest::DosDeviceOverride unplugged('F');
        ShowWindow(dialog.Hwnd(), SW_HIDE);
        Send(DBT_DEVICEREMOVECOMPLETE);
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd()));
        ExpectRowsDriveByDrive(Rows(list), {"E:\\AUTORUN.INF", "E:\\Setup.exe"});
        EXPECT_EQ("2 threats found", Status());
    });
}

TEST_F(MainWindowOnDrives, RemovingTheLastDriveLeavesTheListAndStatusAsTheyWere) {
    LayOutThreats();
    Run([&] {
        std::vector<Row> before = Rows(list);
        ASSERT_EQ(3u, before.size());
        vxtest::DosDeviceOverride noE('E');
        vxtest::DosDeviceOverride noF('F');
        Send(DBT_DEVICEREMOVECOMPLETE);
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd())) << "nothing happens without a USB drive";
        EXPECT_EQ(before, Rows(list));
        EXPECT_EQ("3 threats found", Status());
    });
}

TEST_F(MainWindowOnDrives, CaptionCloseHidesTheWindowAndTheIconStays) {
    Run([&] {
        EXPECT_TRUE(TrayIconPresent(dialog.Hwnd()));
        dialog.OnTrayShow();
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd()));
        SendMessageA(dialog.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
        EXPECT_TRUE(TrayIconPresent(dialog.Hwnd()));
        EXPECT_TRUE(dialog.IsModal()) << "the program keeps running";
    });
}

TEST_F(MainWindowOnDrives, LeftClickOnTheIconRestoresTheWindow) {
    Run([&] {
        SendMessageA(dialog.Hwnd(), WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDOWN);
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd()));
        SendMessageA(dialog.Hwnd(), WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd())) << "other mouse messages do nothing";
    });
}

// Inspects the open tray menu from inside its loop, then chooses Exit with the keyboard.
HMENU g_openMenu = nullptr;
UINT g_defaultItem = 0;
void CALLBACK ChooseExitFromOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;  // not open yet
    KillTimer(nullptr, timer);
    g_openMenu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    g_defaultItem = GetMenuDefaultItem(g_openMenu, TRUE, 0);
    // Up from nothing selected wraps to the last item, Exit.
    PostMessageA(menuWindow, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(MainWindowOnDrives, RightClickOpensTheMenuWithShowInBoldAndExitEndsAtOnceRemovingTheIcon) {
    HWND window = nullptr;
    Run([&] {
        window = dialog.Hwnd();
        ASSERT_TRUE(TrayIconPresent(window));
        SetTimer(nullptr, 0, 20, ChooseExitFromOpenMenu);
        SendMessageA(dialog.Hwnd(), WM_TRAYNOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN);
        vxtest::PumpUntil([&] { return !dialog.IsModal(); }, 3000);
        EXPECT_FALSE(dialog.IsModal()) << "Exit ended the program";
    });
    EXPECT_EQ(0u, g_defaultItem) << "the show item is the default, drawn in bold";
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(vxtest::ShownMessages().empty()) << "no quit question";
    EXPECT_FALSE(TrayIconPresent(window)) << "the icon goes with the program";
}

// Takes the shared taskbar away by making it a child of a window of ours,
// and gives it back however the test ends: a failed assertion must not
// leave it destroyed with its holder for every later test.
class TaskbarAway {
public:
    explicit TaskbarAway(HWND taskbar) : m_taskbar(taskbar) {
        m_holder = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetParent(m_taskbar, m_holder);
    }
    ~TaskbarAway() {
        Return();
        DestroyWindow(m_holder);
    }
    TaskbarAway(const TaskbarAway&) = delete;
    TaskbarAway& operator=(const TaskbarAway&) = delete;

    // Back as a top-level window, and the message that a restarted shell
    // broadcasts to every top-level window, here sent to this process's
    // own (Wine's shell would take it for itself and drop its taskbar).
    void Return() {
        if (GetAncestor(m_taskbar, GA_PARENT) != m_holder) return;
        SetParent(m_taskbar, nullptr);
        EnumWindows(
            [](HWND window, LPARAM) -> BOOL {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (process == GetCurrentProcessId())
                    SendNotifyMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
                return TRUE;
            },
            0);
    }

private:
    HWND m_taskbar;
    HWND m_holder = nullptr;
};

TEST_F(MainWindowOnDrives, IconComesBackWhenTheTaskbarReturns) {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(nullptr, taskbar);
    DWORD comeback = 0, readded = 0;
    Run([&] {
        ASSERT_TRUE(TrayIconPresent(dialog.Hwnd()));
        // Meanwhile the icon is dropped, as a restarted taskbar would have lost it.
        NOTIFYICONDATAA drop;
        FillTrayIconData(drop, dialog.Hwnd());
        DestroyIcon(drop.hIcon);
        ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &drop));
        ASSERT_FALSE(TrayIconPresent(dialog.Hwnd()));

        TaskbarAway away(taskbar);
        ASSERT_EQ(nullptr, FindWindowA("Shell_TrayWnd", nullptr)) << "the taskbar is gone";
        vxtest::PumpFor(400);
        EXPECT_FALSE(TrayIconPresent(dialog.Hwnd())) << "nothing to add to while it is gone";

        away.Return();
        ASSERT_EQ(taskbar, FindWindowA("Shell_TrayWnd", nullptr));
        comeback = GetTickCount();
        if (vxtest::PumpUntil([&] { return TrayIconPresent(dialog.Hwnd()); }, 3000)) readded = GetTickCount();
    });
    EXPECT_EQ(taskbar, FindWindowA("Shell_TrayWnd", nullptr)) << "the taskbar is back, whatever happened";
    ASSERT_NE(0u, readded) << "the icon was not added again";
    EXPECT_LE(readded - comeback, 800u) << "about half a second after the taskbar came back";
}

TEST(MainWindowEnd, AnObjectGoingWithItsWindowStillOpenEndsItLikeAnyOtherEnd) {
    // A destructor that never told the watches to stop would wait for ever.
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1500 && !done; ++i) Sleep(10);
        if (done) return;
        fprintf(stderr, "MainWindowEnd: destroying the main window object hung\n");
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    });
    HWND window = nullptr;
    bool iconAdded = false;
    {
        MainDialog dialog;
        if (dialog.Create(nullptr)) {
            vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); });
            window = dialog.Hwnd();
            iconAdded = TrayIconPresent(window);
        }
    }
    done = true;
    watchdog.join();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(iconAdded);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(TrayIconPresent(window)) << "the icon outlived the window";
}

// Counts the messages of `watched` that `counts` picks, for as long as it lives.
class MessageCounter {
public:
    MessageCounter(HWND watched, std::function<bool(UINT, WPARAM, LPARAM)> counts)
        : m_window(watched), m_counts(std::move(counts)) {
        SetWindowSubclass(m_window, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageCounter() { RemoveWindowSubclass(m_window, Proc, 1); }
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;
    int Count() const { return m_count; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        auto* counter = reinterpret_cast<MessageCounter*>(self);
        if (counter->m_counts(msg, wParam, lParam)) ++counter->m_count;
        return DefSubclassProc(window, msg, wParam, lParam);
    }
    HWND m_window;
    std::function<bool(UINT, WPARAM, LPARAM)> m_counts;
    std::atomic<int> m_count{0};
};

TEST_F(MainWindowOnDrives, OnceEndingNoArrivalOrTrayClickRestoresRescansOrBringsTheIconBack) {
    vxtest::WriteFile("E:\\AUTORUN.INF", "[autorun]\r\nopen=x.exe\r\n");
    vxtest::SlowQuarantineWrites slow;
    std::unique_ptr<MessageCounter> shown, listed;
    std::thread poker;
    HWND window = nullptr;
    Run([&] {
        window = dialog.Hwnd();
        ASSERT_EQ(1u, Rows(list).size());
        // A delete-all is busy with a large file when the program ends, so
        // the ending waits for it, pumping messages.
        vxtest::ExpectMessage("Do you want to delete all?", IDOK);
        vxtest::ExpectMessage("Please wait for a while");
        dialog.Shield().OnDeleteAll();
        ASSERT_TRUE(slow.WaitUntilWriting());

        shown = std::make_unique<MessageCounter>(window, [](UINT msg, WPARAM wParam, LPARAM) {
            return msg == WM_SHOWWINDOW && wParam;
        });
        listed = std::make_unique<MessageCounter>(list, [](UINT msg, WPARAM, LPARAM) {
            return msg == LVM_DELETEALLITEMS || msg == LVM_INSERTITEMA;
        });
        // A stick plugged in and a click on the icon, while the window ends.
        poker = std::thread([&] {
            while (!dialog.IsEnding()) Sleep(5);
            DWORD_PTR ignored;
            SendMessageTimeoutA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, SMTO_NORMAL, 5000, &ignored);
            SendMessageTimeoutA(window, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDOWN, SMTO_NORMAL, 5000, &ignored);
            slow.Release();
        });
        dialog.OnTrayExit();
    });
    poker.join();
    EXPECT_EQ(nullptr, dialog.Hwnd());
    EXPECT_EQ(0, shown->Count()) << "the window came back while ending";
    EXPECT_EQ(0, listed->Count()) << "the roots were checked again while ending";
    vxtest::PumpFor(700);
    EXPECT_FALSE(TrayIconPresent(window)) << "the icon came back";
}

// A shell that restarts faster than any look for its taskbar could tell:
// the taskbar window never seems to go, only the broadcast says it is new.
TEST_F(MainWindowOnDrives, IconComesBackWhenTheShellSaysItsTaskbarIsNewWithoutItEverSeemingGone) {
    bool readded = false;
    Run([&] {
        ASSERT_TRUE(TrayIconPresent(dialog.Hwnd()));
        NOTIFYICONDATAA drop;
        FillTrayIconData(drop, dialog.Hwnd());
        DestroyIcon(drop.hIcon);
        ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &drop));
        HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
        ASSERT_NE(nullptr, taskbar);
        {
            TaskbarAway away(taskbar);
            away.Return();  // at once, with the shell's broadcast
        }
        readded = vxtest::PumpUntil([&] { return TrayIconPresent(dialog.Hwnd()); }, 3000);
    });
    EXPECT_TRUE(readded) << "the icon was not added again after the shell's broadcast";
}

// A taskbar that fails part-way must still be given back: the guard runs
// however the test ends.
TEST(TaskbarGuard, GivesTheTaskbarBackWhenAnAssertionFails) {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(nullptr, taskbar);
    EXPECT_FATAL_FAILURE(
        {
            HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
            TaskbarAway away(bar);
            ASSERT_TRUE(false) << "a failure while the taskbar is away";
        },
        "a failure while the taskbar is away");
    EXPECT_EQ(taskbar, FindWindowA("Shell_TrayWnd", nullptr));
    EXPECT_TRUE(IsWindow(taskbar));
}

}  // namespace
