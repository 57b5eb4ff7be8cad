#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "app/MainDialog.h"
#include "app/TrayIcon.h"
#include "tests/common/TestSupport.h"
#include "ui/MessageBox.h"

namespace {

// The main window, modeless, for the checks that need no modal loop.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.Create(nullptr));
        // Let the posted close hide it, as at start-up.
        vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); });
    }
    void TearDown() override { dialog.DestroyWindow(); }

    std::vector<int> VisiblePages() {
        std::vector<int> visible;
        for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page)
            if (dialog.Page(page)->Hwnd() && (GetWindowLongA(dialog.Page(page)->Hwnd(), GWL_STYLE) & WS_VISIBLE)) {
                visible.push_back(page);
            }
        return visible;
    }

    MainDialog dialog;
};

TEST_F(MainWindowTest, CreatesEveryPageAndHidesItselfAfterStartUp) {
    EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
    EXPECT_EQ(dialog.Hwnd(), g_hMainWnd);
    EXPECT_EQ(&dialog, g_pMainDialog);
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        EXPECT_NE(nullptr, dialog.Page(page)->Hwnd()) << page;
        EXPECT_EQ(dialog.Hwnd(), GetParent(dialog.Page(page)->Hwnd())) << page;
    }
    EXPECT_NE(nullptr, GetPropA(dialog.Hwnd(), "Vantorix")) << "a second instance finds the window by it";
    // The sandbox's removable drives E: and F: count as USB drives.
    EXPECT_EQ(std::vector<int>{PAGE_SHIELD}, VisiblePages()) << "USB drives present: the shield page";
}

TEST(MainWindowStart, WithoutUsbDrivesStartsOnTheInfoPage) {
    vxtest::DosDeviceOverride noE('E');
    vxtest::DosDeviceOverride noF('F');
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
    EXPECT_TRUE(dialog.IsPageShown(PAGE_INFO));
    EXPECT_FALSE(dialog.IsPageShown(PAGE_SHIELD));
    dialog.DestroyWindow();
}

TEST_F(MainWindowTest, ShowPageShowsExactlyOnePageAndItsButtonKeepsTheHoverImage) {
    for (int page : {PAGE_SHIELD, PAGE_QUARANTINE, PAGE_INFO, PAGE_SCAN}) {
        dialog.ShowPage(page);
        EXPECT_EQ(std::vector<int>{page}, VisiblePages());
        EXPECT_TRUE(dialog.IsPageShown(page));
        ImageButton* current = dialog.PageButton(page);
        EXPECT_NE(nullptr, current->Bitmap(0));
        EXPECT_EQ(nullptr, current->Bitmap(1)) << "only the hover image, so it shows in every state";
        for (int other = PAGE_INFO; other <= PAGE_QUARANTINE; ++other) {
            if (other != page) {
                EXPECT_NE(nullptr, dialog.PageButton(other)->Bitmap(1)) << other;
            }
        }
        RECT r;
        GetWindowRect(dialog.Page(page)->Hwnd(), &r);
        POINT topLeft = {r.left, r.top};
        ScreenToClient(dialog.Hwnd(), &topLeft);
        EXPECT_EQ(0, topLeft.x);
        EXPECT_EQ(90, topLeft.y);
        EXPECT_EQ(750, r.right - r.left);
        EXPECT_EQ(450, r.bottom - r.top);
    }
}

// Start-up costs: each picture is loaded once and kept, one pointer serves
// all eight buttons, and no tooltip window exists before the mouse comes.
TEST_F(MainWindowTest, PageButtonsLoadEachPictureOnceShareThePointerAndMakeNoTooltipsAhead) {
    HBITMAP hover[8], normal[8];
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        ImageButton* button = dialog.PageButton(page);
        hover[page - 1] = button->Bitmap(0);
        dialog.ShowPage(page == PAGE_INFO ? PAGE_SCAN : PAGE_INFO);
        normal[page - 1] = button->Bitmap(1);
        EXPECT_NE(nullptr, normal[page - 1]) << page;
        EXPECT_EQ(nullptr, button->ToolTip()) << "page " << page << ": a tooltip window before the mouse came";
        EXPECT_EQ(dialog.PageButton(PAGE_INFO)->Pointer(), button->Pointer()) << page;
    }
    EXPECT_NE(nullptr, dialog.PageButton(PAGE_INFO)->Pointer());
    for (int round = 0; round < 2; ++round)
        for (int page : {PAGE_SHIELD, PAGE_QUARANTINE, PAGE_INFO, PAGE_SCAN, PAGE_TOOLS}) dialog.ShowPage(page);
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        ImageButton* button = dialog.PageButton(page);
        EXPECT_EQ(hover[page - 1], button->Bitmap(0)) << "page " << page << ": its hover picture was loaded again";
        if (!dialog.IsPageShown(page)) {
            EXPECT_EQ(normal[page - 1], button->Bitmap(1)) << "page " << page << ": its picture was loaded again";
        }
    }
}

TEST_F(MainWindowTest, AskingForThePageAlreadyShownKeepsItShown) {
    dialog.ShowPage(PAGE_SCAN);
    dialog.ShowPage(PAGE_SCAN);
    EXPECT_EQ(std::vector<int>{PAGE_SCAN}, VisiblePages());
    EXPECT_EQ(nullptr, dialog.PageButton(PAGE_SCAN)->Bitmap(1));
}

TEST_F(MainWindowTest, PageButtonsSwitchPages) {
    SendMessageA(dialog.PageButton(PAGE_MEMORY)->Hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<int>{PAGE_MEMORY}, VisiblePages());
}

TEST_F(MainWindowTest, NumbersOutsideOneToEightHideEveryPage) {
    for (int page : {0, 9, -1}) {
        dialog.ShowPage(PAGE_TOOLS);
        dialog.ShowPage(page);
        EXPECT_TRUE(VisiblePages().empty()) << page;
        EXPECT_NE(nullptr, dialog.PageButton(PAGE_TOOLS)->Bitmap(1)) << "its button got both images back";
    }
}

TEST_F(MainWindowTest, TheTrayCallbackLeavesTheDefaultButtonAlone) {
    // WM_TRAYNOTIFY has the number of DM_SETDEFID.
    const LRESULT before = SendMessageA(dialog.Hwnd(), DM_GETDEFID, 0, 0);
    for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP})
        SendMessageA(dialog.Hwnd(), WM_TRAYNOTIFY, TRAY_ICON_ID, mouse);
    EXPECT_EQ(before, SendMessageA(dialog.Hwnd(), DM_GETDEFID, 0, 0));
}

TEST_F(MainWindowTest, CaptionCloseOnlyHidesTheWindow) {
    ShowWindow(dialog.Hwnd(), SW_SHOW);
    SendMessageA(dialog.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(dialog.Hwnd()));
    EXPECT_TRUE(IsWindow(dialog.Hwnd()));
}

// Esc goes through the dialog keys, as a person would press it.
void PressEscape(HWND window) {
    HWND focus = GetDlgItem(window, IDC_BTN_INFO);
    SetFocus(focus);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0);
}

// A key pressed on `control`, through the message loop as a person's would be.
void PressKey(HWND control, WPARAM key) {
    SetFocus(control);
    PostMessageA(control, WM_KEYDOWN, key, 0);
    PostMessageA(control, WM_KEYUP, key, 0xC0000000);
}

TEST(MainWindowKeys, EnterNeverEndsTheProgramAndAFocusedButtonRunsItsOwnCommand) {
    MainDialog dialog;
    std::vector<std::string> stillRunningAfter;
    bool memoryShown = false;
    vxtest::RunInsideModalLoop([&] { dialog.DoModal(); }, [&] {
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
        dialog.OnTrayShow();
        dialog.ShowPage(PAGE_SHIELD);
        dialog.Shield().Findings().DeleteAllItems();
        // The tray callback once set a default button on the main window.
        SendMessageA(dialog.Hwnd(), WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
        const std::pair<const char*, HWND> places[] = {
            {"the findings list", dialog.Shield().Findings().Hwnd()},
            {"the shield page", dialog.Shield().Hwnd()},
        };
        for (const auto& place : places) {
            PressKey(place.second, VK_RETURN);
            vxtest::PumpFor(100);
            if (dialog.IsModal() && IsWindowVisible(dialog.Hwnd()) && dialog.IsPageShown(PAGE_SHIELD))
                stillRunningAfter.push_back(place.first);
        }
        // An image button of the page runs its own command, on the page.
        HWND deleteButton = dialog.Shield().DeleteButton();
        for (WPARAM key : {VK_RETURN, VK_SPACE}) {
            vxtest::ExpectMessage("No threat found");
            size_t shown = vxtest::ShownMessages().size();
            PressKey(deleteButton, key);
            EXPECT_TRUE(vxtest::PumpUntil([&] { return vxtest::ShownMessages().size() > shown; }, 2000)) << key;
        }
        // And a page button of the main window its own.
        PressKey(dialog.PageButton(PAGE_MEMORY)->Hwnd(), VK_RETURN);
        memoryShown = vxtest::PumpUntil([&] { return dialog.IsPageShown(PAGE_MEMORY); }, 2000);
        if (dialog.IsModal()) dialog.OnTrayExit();
    });
    EXPECT_EQ((std::vector<std::string>{"the findings list", "the shield page"}), stillRunningAfter);
    EXPECT_TRUE(memoryShown);
}

TEST(MainWindowQuit, EscapeAsksAndCancelChangesNothingAndOkEndsTheProgram) {
    MainDialog dialog;
    bool stillRunningAfterCancel = false;
    INT_PTR result = 0;
    vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); }, [&] {
        vxtest::ExpectMessage("Do you want to quit?", IDCANCEL);
        PressEscape(dialog.Hwnd());
        vxtest::PumpUntil([] { return vxtest::ShownMessages().size() == 1; });
        vxtest::PumpFor(50);
        stillRunningAfterCancel = dialog.IsModal() && IsWindow(dialog.Hwnd());
        vxtest::ExpectMessage("Do you want to quit?", IDOK);
        PressEscape(dialog.Hwnd());
    });
    EXPECT_TRUE(stillRunningAfterCancel);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(2u, vxtest::ShownMessages().size());
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL), vxtest::ShownMessages()[0].type & MB_TYPEMASK);
    EXPECT_EQ(nullptr, dialog.Hwnd());
}

TEST(MainWindowQuit, UninstallerWindowEndsTheProgramWithoutTheQuitQuestion) {
    MainDialog dialog;
    HWND uninstaller = nullptr;
    INT_PTR result = 0;
    vxtest::ExpectMessage("The Vantorix will quit!");
    // Without the watch noticing, the loop is ended at the time-out.
    vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); }, [&] {
        uninstaller = CreateWindowExA(0, "STATIC", "Vantorix Uninstall", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                      nullptr, nullptr, nullptr);
    }, 10000);
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_EQ(1u, vxtest::ShownMessages().size());
    EXPECT_EQ(static_cast<UINT>(MB_OK), vxtest::ShownMessages()[0].type & MB_TYPEMASK);
    DestroyWindow(uninstaller);
}

// While alive, message boxes are real windows, as for a person.
class RealMessageBoxes {
public:
    RealMessageBoxes() : m_previous(ui::SetMessageResponder(nullptr)) {}
    ~RealMessageBoxes() { ui::SetMessageResponder(m_previous); }
    RealMessageBoxes(const RealMessageBoxes&) = delete;
    RealMessageBoxes& operator=(const RealMessageBoxes&) = delete;

private:
    ui::MessageResponder m_previous;
};

// A visible message box of this process that another thread has open.
HWND WorkerMessageBox() {
    struct Search {
        DWORD uiThread;
        HWND found;
    } search = {GetCurrentThreadId(), nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD process = 0;
            DWORD thread = GetWindowThreadProcessId(window, &process);
            char className[8] = "";
            GetClassNameA(window, className, sizeof className);
            if (process == GetCurrentProcessId() && thread != s->uiThread && IsWindowVisible(window) &&
                lstrcmpA(className, "#32770") == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(MainWindowQuit, EndingClosesAMessageBoxThatAWorkerHasOpenInsteadOfWaitingForIt) {
    RealMessageBoxes realBoxes;
    MainDialog dialog;
    HWND uninstaller = nullptr;
    bool boxOpened = false;
    std::atomic<bool> ended{false}, answeredByTheTest{false};
    // Answers the box if the program would wait for a person for ever.
    std::thread watchdog([&] {
        for (DWORD start = GetTickCount(); !ended && GetTickCount() - start < 20000;) Sleep(20);
        if (ended) return;
        if (HWND box = WorkerMessageBox()) {
            answeredByTheTest = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });
    vxtest::RunInsideModalLoop([&] { dialog.DoModal(); }, [&] {
        // The uninstall watch then says "The Vantorix will quit!" in a real box.
        uninstaller = CreateWindowExA(0, "STATIC", "Vantorix Uninstall", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                      nullptr, nullptr, nullptr);
        boxOpened = vxtest::PumpUntil([] { return WorkerMessageBox() != nullptr; }, 5000);
        dialog.OnTrayExit();
    });
    ended = true;
    watchdog.join();
    DestroyWindow(uninstaller);
    EXPECT_TRUE(boxOpened);
    EXPECT_FALSE(answeredByTheTest) << "ending waited for an answer to the worker's box";
    EXPECT_EQ(nullptr, WorkerMessageBox());
}

// The uninstaller is another program; its window may get its title only
// after it was created.
TEST(MainWindowQuit, UninstallerWindowOfAnotherProgramIsNoticed) {
    MainDialog dialog;
    INT_PTR result = 0;
    PROCESS_INFORMATION uninstaller = {};
    vxtest::ExpectMessage("The Vantorix will quit!");
    vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); }, [&] {
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        char command[] = "W:\\fixtures\\TitledWindow.exe Vantorix Uninstall";
        ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, "W:\\", &start,
                                   &uninstaller));
        EXPECT_TRUE(vxtest::PumpUntil([] { return FindWindowA(nullptr, "Vantorix Uninstall") != nullptr; }, 5000))
            << "the other program's window did not come";
    }, 10000);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1u, vxtest::ShownMessages().size());
    if (uninstaller.hProcess) {
        HWND window = FindWindowA(nullptr, "Vantorix Uninstall");
        if (window) PostMessageA(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(uninstaller.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(uninstaller.hProcess, 1);
        CloseHandle(uninstaller.hProcess);
        CloseHandle(uninstaller.hThread);
    }
}

TEST(MainWindowQuit, TrayExitEndsWithoutAsking) {
    MainDialog dialog;
    INT_PTR result = 0;
    vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); },
                               [&] { PostMessageA(dialog.Hwnd(), WM_COMMAND, ID_TRAY_EXIT, 0); });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(vxtest::ShownMessages().empty());
}

}  // namespace
