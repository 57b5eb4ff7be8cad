#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "res/resource.h"
#include "tests/common/TestSupport.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Dpi.h"
#include "ui/MessageBox.h"

namespace {

// The status pop-up's template: a captioned pop-up with a static and a button.
const UINT kTemplate = IDD_STATUS_POPUP;
const int kButton = IDC_POPUP_STATE;
const int kText = IDC_POPUP_TEXT;

class ClickToEnd : public ui::Dialog {
public:
    ClickToEnd() : Dialog(kTemplate) {
        OnCommandId(kButton, [this] { EndDialog(42); });
    }
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        PostMessageA(Item(kButton), BM_CLICK, 0, 0);
        return TRUE;
    }
};

TEST(Dialog, ModalEndsWithTheResultGivenToEndDialog) {
    ClickToEnd dialog;
    vxtest::ModalTimeout timeout;
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(nullptr, dialog.Hwnd()) << "the modal dialog is destroyed when it ends";
}

class EscapeDialog : public ui::Dialog {
public:
    EscapeDialog() : Dialog(kTemplate) {}
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        SetFocus(Item(kButton));
        PostMessageA(Item(kButton), WM_KEYDOWN, VK_ESCAPE, 0);
        return FALSE;
    }
    void OnCancel() override {
        ++cancels;
        Dialog::OnCancel();
    }
    int cancels = 0;
};

TEST(Dialog, EscapeReachesOnCancelThroughTheDialogKeys) {
    EscapeDialog dialog;
    vxtest::ModalTimeout timeout;
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, dialog.cancels);
}

// A modal loop that nothing ends fails its test instead of hanging the run.
TEST(Dialog, AModalLoopThatNeverEndsFailsAtItsTimeOut) {
    ui::Dialog dialog(kTemplate);
    INT_PTR result = 0;
    EXPECT_NONFATAL_FAILURE(vxtest::RunInsideModalLoop([&] { result = dialog.DoModal(); }, [] {}, 300),
                            "still running at its time-out");
    EXPECT_EQ(nullptr, dialog.Hwnd());
    EXPECT_TRUE(vxtest::PumpUntil([] { return true; })) << "the next loop is not ended by the quit";
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

class CreateSeen : public ui::Dialog {
public:
    CreateSeen() : Dialog(kTemplate) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg == WM_CREATE) sawCreate = true;
        return Dialog::WindowProc(msg, w, l);
    }
    bool sawCreate = false;
};

TEST(Dialog, ObjectSeesWmCreate) {
    CreateSeen dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_TRUE(dialog.sawCreate);
    EXPECT_EQ(&dialog, ui::Window::FromHandle(dialog.Hwnd()));
    dialog.DestroyWindow();
    EXPECT_EQ(nullptr, dialog.Hwnd());
}

// A skin library may put its own procedure over a dialog's. The dialog's
// object is still found and still sees every message; once the object lets
// go, the window keeps working through both procedures.
WNDPROC g_procUnderForeign = nullptr;
int g_foreignMessages = 0;
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_APP + 7) ++g_foreignMessages;
    return CallWindowProcA(g_procUnderForeign, hwnd, msg, w, l);
}

class CountingDialog : public ui::Dialog {
public:
    CountingDialog() : Dialog(kTemplate) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg == WM_APP + 7) ++messages;
        return Dialog::WindowProc(msg, w, l);
    }
    int messages = 0;
};

TEST(Dialog, AProcedurePutOverTheDialogsKeepsItFoundAndWorking) {
    auto dialog = std::make_unique<CountingDialog>();
    ASSERT_TRUE(dialog->Create(nullptr));
    HWND hwnd = dialog->Hwnd();
    g_foreignMessages = 0;
    g_procUnderForeign = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignProc)));
    ASSERT_NE(nullptr, g_procUnderForeign);

    EXPECT_EQ(dialog.get(), ui::Window::FromHandle(hwnd)) << "found under the foreign procedure";
    SendMessageA(hwnd, WM_APP + 7, 0, 0);
    EXPECT_EQ(1, dialog->messages);
    EXPECT_EQ(1, g_foreignMessages);

    // The object lets go while the foreign procedure stays on top.
    dialog->Detach();
    dialog.reset();
    EXPECT_EQ(nullptr, ui::Window::FromHandle(hwnd));
    SendMessageA(hwnd, WM_APP + 7, 0, 0);
    EXPECT_EQ(2, g_foreignMessages);

    // Another object takes the window over again, under the foreign procedure.
    CountingDialog again;
    ASSERT_TRUE(again.Attach(hwnd));
    EXPECT_EQ(&again, ui::Window::FromHandle(hwnd));
    SendMessageA(hwnd, WM_APP + 7, 0, 0);
    EXPECT_EQ(1, again.messages);
    EXPECT_EQ(3, g_foreignMessages);
    again.Detach();

    SetWindowTextA(hwnd, "still a dialog");
    EXPECT_EQ("still a dialog", ui::GetWindowTextString(hwnd));
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
}

// The Information page's template: a child page whose link labels notify clicks.
class LinkPage : public ui::Dialog {
public:
    LinkPage() : Dialog(IDD_PAGE_INFO) {
        OnCommandId(IDC_INFO_WEB_LINK, [this] { ++runs; });
    }
    int runs = 0;
};

TEST(Dialog, CodeOneIsAnAcceleratorOnlyWithoutAControl) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
    LinkPage page;
    ASSERT_TRUE(page.Create(parent));
    HWND link = page.Item(IDC_INFO_WEB_LINK);
    ASSERT_TRUE(GetWindowLongA(link, GWL_STYLE) & SS_NOTIFY);
    // A double click: STN_CLICKED, then STN_DBLCLK, whose code is 1.
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(link, WM_LBUTTONUP, 0, 0);
    SendMessageA(link, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    SendMessageA(link, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(1, page.runs) << "a control's notification 1 is no second click";
    SendMessageA(page.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_INFO_WEB_LINK, 1), 0);
    EXPECT_EQ(2, page.runs) << "an accelerator";
    page.DestroyWindow();
    DestroyWindow(parent);
}

// A button taken over by an object, which draws it and watches its clicks.
class OwnerDrawButton : public ui::Window {
public:
    bool OnReflect(UINT msg, WPARAM w, LPARAM, LRESULT* result) override {
        if (msg == WM_DRAWITEM) {
            ++draws;
            *result = TRUE;
            return true;
        }
        if (msg == WM_COMMAND && HIWORD(w) == BN_CLICKED) ++clicks;
        return false;  // the parent gets the command too
    }
    int draws = 0;
    int clicks = 0;
};

class ButtonHost : public ui::Dialog {
public:
    ButtonHost() : Dialog(kTemplate) {
        OnCommandId(kButton, [this] { ++parentClicks; });
    }
    BOOL OnInitDialog() override {
        button.Attach(Item(kButton));
        SetWindowLongA(button.Hwnd(), GWL_STYLE,
                       (GetWindowLongA(button.Hwnd(), GWL_STYLE) & ~0x1F) | BS_OWNERDRAW);
        return Dialog::OnInitDialog();
    }
    OwnerDrawButton button;
    int parentClicks = 0;
};

TEST(Reflection, ControlGetsItsOwnerDrawAndClickAndParentStillGetsTheCommand) {
    ButtonHost host;
    ASSERT_TRUE(host.Create(nullptr));
    ShowWindow(host.Hwnd(), SW_SHOW);
    RedrawWindow(host.button.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(host.button.draws, 0);
    SendMessageA(host.button.Hwnd(), BM_CLICK, 0, 0);
    vxtest::PumpFor(50);
    EXPECT_EQ(1, host.button.clicks);
    EXPECT_EQ(1, host.parentClicks);
    host.DestroyWindow();
}

TEST(ListView, RowsRoundTrip) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 400,
                                300, parent, nullptr, nullptr, nullptr);
    ui::ListView view;
    ASSERT_TRUE(view.Attach(list));
    view.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
              SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(0, view.InsertColumn(0, "Threat", 300));
    EXPECT_EQ(1, view.InsertColumn(1, "State", 100));

    const std::string longPath = "E:\\" + std::string(700, 'x') + ".exe";
    EXPECT_EQ(0, view.InsertItem(0, "E:\\AUTORUN.INF"));
    EXPECT_EQ(1, view.InsertItem(1, longPath));
    EXPECT_EQ(0, view.InsertItem(0, "E:\\first.exe")) << "inserting at 0 puts the row first";
    EXPECT_TRUE(view.SetItemText(2, 1, "Risky"));
    EXPECT_EQ(3, view.GetItemCount());
    EXPECT_EQ("E:\\first.exe", view.GetItemText(0, 0));
    EXPECT_EQ("E:\\AUTORUN.INF", view.GetItemText(1, 0));
    EXPECT_EQ(longPath, view.GetItemText(2, 0));
    EXPECT_EQ("Risky", view.GetItemText(2, 1));
    EXPECT_EQ("", view.GetItemText(0, 1));

    EXPECT_EQ(-1, view.GetFirstSelected());
    view.Select(1);
    EXPECT_EQ(1, view.GetFirstSelected());

    EXPECT_TRUE(view.DeleteAllItems());
    EXPECT_EQ(0, view.GetItemCount());
    EXPECT_EQ(-1, view.GetFirstSelected());
    DestroyWindow(parent);
}

// Columns set up in one go come in order, with their titles and widths, and
// the list draws again afterwards.
TEST(ListView, ColumnsInsertedTogetherKeepTheirOrderAndTheListDraws) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 400, 300, parent,
                                nullptr, nullptr, nullptr);
    ui::ListView view;
    ASSERT_TRUE(view.Attach(list));
    view.InsertColumns({{IDS_COL_THREAT, 300}, {IDS_COL_STATE, 100}});

    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(2, SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const char* titles[] = {"Threat", "State"};
    const int widths[] = {300, 100};
    for (int column = 0; column < 2; ++column) {
        char title[32] = "";
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = title;
        col.cchTextMax = sizeof title;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&col)));
        EXPECT_STREQ(titles[column], title);
        EXPECT_EQ(ui::ScaleForDpi(widths[column]), col.cx);
    }

    // Drawing is on again: a new row of a shown list is drawn.
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    RedrawWindow(parent, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(0, view.InsertItem(0, "E:\\AUTORUN.INF"));
    EXPECT_TRUE(GetUpdateRect(list, nullptr, FALSE));
    DestroyWindow(parent);
}

// A page whose list is bound by the data exchange.
class ListPage : public ui::Dialog {
public:
    ListPage() : Dialog(IDD_PAGE_SHIELD) {}
    void DoDataExchange(ui::DataExchange& dx) override { dx.Control(IDC_SHIELD_LIST, list); }
    ui::ListView list;
};

TEST(ListView, HoldsItsWindowAndTakesTheNextOneOfItsPage) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 500, nullptr, nullptr, nullptr, nullptr);
    ListPage page;
    // The page's window made again: the list follows it to its new control.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(page.Create(parent));
        HWND list = page.Item(IDC_SHIELD_LIST);
        EXPECT_EQ(list, page.list.Hwnd()) << "round " << round;
        EXPECT_EQ(nullptr, ui::Window::FromHandle(list)) << "held, not subclassed";
        EXPECT_EQ(0, page.list.InsertItem(0, "E:\\AUTORUN.INF"));
        EXPECT_EQ(1, page.list.GetItemCount());
        page.DestroyWindow();
    }
    // A second holder cannot take a live window another holds.
    HWND first = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, parent, nullptr,
                                 nullptr, nullptr);
    HWND second = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, parent, nullptr,
                                  nullptr, nullptr);
    ui::ListView view;
    ASSERT_TRUE(view.Attach(first));
    EXPECT_FALSE(view.Attach(second)) << "its window still lives";
    DestroyWindow(first);
    EXPECT_TRUE(view.Attach(second));
    EXPECT_EQ(second, view.Hwnd());
    DestroyWindow(parent);
}

// A page whose worker keeps writing into the page's static until stopped.
class CountingPage : public ui::Dialog {
public:
    CountingPage() : Dialog(kTemplate) {}
    static unsigned Count(CountingPage* page) {
        for (int n = 1; page->m_keepCounting; ++n) {
            char text[16];
            wsprintfA(text, "%d", n);
            SetWindowTextA(page->Item(kText), text);  // a message handled on the UI thread
            page->lastWritten = n;
            Sleep(1);
        }
        page->finished = true;
        return 0;
    }
    void OnStopWorkers() override { m_keepCounting = false; }
    std::atomic<bool> m_keepCounting{true};
    std::atomic<int> lastWritten{0};
    std::atomic<bool> finished{false};
};

TEST(Worker, UpdatesReachThePageAndClosingWhileItRunsWaitsForIt) {
    CountingPage page;
    ASSERT_TRUE(page.Create(nullptr));
    ASSERT_TRUE(page.StartWorker(&CountingPage::Count));
    EXPECT_TRUE(vxtest::PumpUntil([&] {
        return atoi(ui::GetWindowTextString(page.Item(kText)).c_str()) >= 5;
    })) << "the worker's texts reach the page";
    EXPECT_EQ(1u, page.RunningWorkers());

    page.DestroyWindow();  // while the worker is still sending
    EXPECT_TRUE(page.finished) << "the page waited for its worker";
    EXPECT_EQ(0u, page.RunningWorkers());
    EXPECT_EQ(nullptr, page.Hwnd());
}

// A worker that knows only the dialog's own stop request, and reports into
// state that outlives the page.
struct WorkerTrace {
    std::atomic<int> written{0};
    std::atomic<bool> finished{false};
    std::atomic<bool> sawPageGone{false};
};
WorkerTrace* g_trace = nullptr;

unsigned CountUntilStopped(ui::Dialog* page) {
    WorkerTrace* trace = g_trace;
    // The destructor lets go of the window before it waits (so that no message
    // reaches the half-destroyed object), but must not destroy it yet.
    const HWND window = page->Hwnd();
    for (int n = 1; !page->StopRequested(); ++n) {
        char text[16];
        wsprintfA(text, "%d", n);
        // A message handled on the UI thread, which is inside the destructor's wait by then.
        SetWindowTextA(page->Item(kText), text);
        trace->written = n;
        Sleep(1);
    }
    if (!IsWindow(window)) trace->sawPageGone = true;
    trace->finished = true;
    return 0;
}

TEST(Worker, DestroyingThePageObjectStopsItsRunningWorkerAndWaitsForIt) {
    WorkerTrace trace;
    g_trace = &trace;
    auto* page = new CountingPage;
    ASSERT_TRUE(page->Create(nullptr));
    ASSERT_TRUE(page->StartWorker(&CountUntilStopped));
    ASSERT_TRUE(vxtest::PumpUntil([&] { return trace.written >= 2; }));
    EXPECT_FALSE(trace.finished) << "nothing but the destructor stops it";
    // Nobody tells the worker to stop: the destructor must, then wait for it,
    // with the window still there for the worker's messages.
    delete page;
    EXPECT_TRUE(trace.finished) << "the destructor returned before its worker ended";
    EXPECT_FALSE(trace.sawPageGone) << "the window went before its worker ended";
    g_trace = nullptr;
}

class EntryPage : public ui::Dialog {
public:
    EntryPage() : Dialog(kTemplate) {}
    void DoDataExchange(ui::DataExchange& dx) override { dx.UnsignedInt(kText, value); }
    unsigned value = 7;
};

TEST(DataExchange, UnsignedEntry) {
    struct Case {
        const char* text;
        bool accepted;
        unsigned value;
    };
    const Case cases[] = {
        {"42", true, 42},      {" 100000 ", true, 100000}, {"4294967295", true, 4294967295u},
        {"4294967296", false, 7}, {"-1", false, 7},        {"12abc", false, 7},
        {"", false, 7},
    };
    for (const Case& c : cases) {
        EntryPage page;
        ASSERT_TRUE(page.Create(nullptr));
        EXPECT_EQ("7", ui::GetWindowTextString(page.Item(kText))) << "members go into the controls first";
        SetWindowTextA(page.Item(kText), c.text);
        EXPECT_EQ(c.accepted, page.UpdateData(true)) << c.text;
        EXPECT_EQ(c.value, page.value) << c.text;
        page.DestroyWindow();
    }
}

TEST(MessageBoxes, ExpectedBoxIsAnsweredAndUnexpectedOneFailsTheTest) {
    vxtest::ExpectMessage("Do you want to quit?", IDCANCEL);
    EXPECT_EQ(IDCANCEL, ui::ShowMessage("Do you want to quit?", MB_OKCANCEL));
    EXPECT_NONFATAL_FAILURE(ui::ShowMessage("surprise"), "unexpected message box: \"surprise\"");
}

}  // namespace
