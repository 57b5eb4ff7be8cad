#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "controls/HyperlinkLabel.h"
#include "res/resource.h"
#include "tests/common/TestSupport.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Guards.h"
#include "ui/ShellOpen.h"

namespace {

using vxtest::CentreOf;
using vxtest::MoveMouseUntil;
using vxtest::ScreenPoint;

const COLORREF kLinkBlue = RGB(0, 0, 238);
const COLORREF kVisitedPurple = RGB(85, 26, 139);
const COLORREF kHoverRed = RGB(255, 0, 0);
const char* const kTarget = "https://www.vantorix.example/";

// What the shell was asked to open, and what it answers.
std::vector<std::string> g_opened;
std::vector<int> g_openedShow;
INT_PTR g_shellAnswer = 42;
INT_PTR RecordingShell(const char* target, int show) {
    g_opened.push_back(target);
    g_openedShow.push_back(show);
    return g_shellAnswer;
}

// While alive, the shell's open goes to RecordingShell.
class ShellStandIn {
public:
    explicit ShellStandIn(INT_PTR answer) {
        g_opened.clear();
        g_openedShow.clear();
        g_shellAnswer = answer;
        m_previous = ui::SetShellOpenForTest(RecordingShell);
    }
    ~ShellStandIn() { ui::SetShellOpenForTest(m_previous); }

private:
    ui::ShellOpener m_previous;
};

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, strrchr(path, '\\') + 1);
}

// While alive, HKEY_CLASSES_ROOT\.htm names a class of the test's own, whose
// open command (when given) is `command`; the old class comes back after.
class HtmClass {
public:
    explicit HtmClass(const char* command) {
        m_hadOld = ReadDefault(".htm", &m_old);
        SetDefault(".htm", kClass);
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kClass);
        if (command) SetDefault(std::string(kClass) + "\\shell\\open\\command", command);
    }
    ~HtmClass() {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kClass);
        if (m_hadOld)
            SetDefault(".htm", m_old);
        else
            SHDeleteKeyA(HKEY_CLASSES_ROOT, ".htm");
    }

private:
    static constexpr const char* kClass = "VantorixTest.htm";
    static bool ReadDefault(const char* key, std::string* value) {
        char data[260] = {};
        LONG size = sizeof data;
        if (RegQueryValueA(HKEY_CLASSES_ROOT, key, data, &size) != ERROR_SUCCESS) return false;
        *value = data;
        return true;
    }
    static void SetDefault(const std::string& key, const std::string& value) {
        RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }
    bool m_hadOld = false;
    std::string m_old;
};

bool IsUnderlined(HWND label) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    LOGFONTA description = {};
    GetObjectA(font ? font : GetStockObject(SYSTEM_FONT), sizeof description, &description);
    return description.lfUnderline != 0;
}

bool CursorExists(HCURSOR cursor) {
    ICONINFO info;
    if (!GetIconInfo(cursor, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

// The status pop-up hosts the labels, static controls made at run time in
// its font.
class HyperlinkLabelTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Create(nullptr));
        SetWindowPos(m_host, HWND_TOPMOST, 200, 200, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        vxtest::PumpFor(20);
    }
    void TearDown() override { SetCursorPos(0, 0); }

    HWND MakeStatic(const char* text, DWORD style, RECT at) {
        HWND label = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                                     at.right - at.left, at.bottom - at.top, m_host, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        SendMessageA(label, WM_SETFONT, SendMessageA(m_host, WM_GETFONT, 0, 0), FALSE);
        return label;
    }
    // The colour the label asks its parent to paint its text in.
    COLORREF AskedTextColour(HWND label) {
        ui::ScopedWindowDc screen(nullptr);
        ui::ScopedMemoryDc dc(CreateCompatibleDC(screen));
        SetTextColor(dc, RGB(1, 2, 3));
        LRESULT brush = SendMessageA(m_host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                                     reinterpret_cast<LPARAM>(label));
        EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), brush);
        EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
        return GetTextColor(dc);
    }
    RECT RectInHost(HWND control) {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, m_host, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    POINT Outside() { return ScreenPoint(m_host, 4, 4); }

    ui::Dialog m_host{IDD_STATUS_POPUP};
};

TEST_F(HyperlinkLabelTest, TextIsBlueThenPurpleOnceVisitedAndRedWhileThePointerIsOverIt) {
    HyperlinkLabel link;
    ASSERT_TRUE(link.Attach(MakeStatic("Vantorix web site", SS_LEFT, {150, 40, 290, 60})));
    EXPECT_EQ(kLinkBlue, AskedTextColour(link));
    ASSERT_TRUE(MoveMouseUntil(CentreOf(link), [&] { return link.IsOverLink(); }));
    EXPECT_EQ(kHoverRed, AskedTextColour(link)) << "hover before a visit";
    ASSERT_TRUE(MoveMouseUntil(Outside(), [&] { return !link.IsOverLink(); }));
    EXPECT_EQ(kLinkBlue, AskedTextColour(link));
    link.SetVisited(true);
    EXPECT_EQ(kVisitedPurple, AskedTextColour(link));
    ASSERT_TRUE(MoveMouseUntil(CentreOf(link), [&] { return link.IsOverLink(); }));
    EXPECT_EQ(kHoverRed, AskedTextColour(link)) << "hover beats visited";
    ASSERT_TRUE(MoveMouseUntil(Outside(), [&] { return !link.IsOverLink(); }));
    EXPECT_EQ(kVisitedPurple, AskedTextColour(link));
}

TEST_F(HyperlinkLabelTest, UnderlineFollowsItsModeAsThePointerEntersAndLeaves) {
    struct Case {
        int mode;
        bool before, over, after;
    };
    const Case cases[] = {
        {HyperlinkLabel::UNDERLINE_ALWAYS, true, true, true},
        {HyperlinkLabel::UNDERLINE_NEVER, false, false, false},
        {HyperlinkLabel::UNDERLINE_HOVER, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        HWND window = MakeStatic("Mail to support", SS_LEFT, {150, 40, 290, 60});
        HyperlinkLabel link;
        ASSERT_TRUE(link.Attach(window));
        link.SetUnderlineMode(c.mode);
        EXPECT_EQ(c.mode, link.UnderlineMode());
        EXPECT_EQ(c.before, IsUnderlined(link));
        ASSERT_TRUE(MoveMouseUntil(CentreOf(link), [&] { return link.IsOverLink(); }));
        EXPECT_EQ(c.over, IsUnderlined(link)) << "over the link";
        // The 100 ms check notices that the pointer has left.
        ASSERT_TRUE(MoveMouseUntil(Outside(), [&] { return !link.IsOverLink(); }));
        EXPECT_EQ(c.after, IsUnderlined(link)) << "after leaving";
        DestroyWindow(window);
    }
}

TEST_F(HyperlinkLabelTest, FitToTextKeepsTheEdgeItsAlignmentNames) {
    struct Case {
        const char* what;
        DWORD style;
    };
    const Case cases[] = {
        {"left", SS_LEFT},
        {"centred", SS_CENTER},
        {"right, with a border", SS_RIGHT | WS_BORDER},
        {"centre-image", SS_LEFT | SS_CENTERIMAGE},
    };
    const RECT at = {40, 20, 241, 61};  // odd sizes, so that halving shows
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HWND window = MakeStatic("Fit me", c.style, at);
        HyperlinkLabel link;
        ASSERT_TRUE(link.Attach(window));
        SIZE text = {};
        {
            ui::ScopedWindowDc dc(window);
            ui::ScopedSelect select(dc, link.UnderlinedFont());
            GetTextExtentPoint32A(dc, "Fit me", 6, &text);
        }
        int frame = (c.style & WS_BORDER) ? 2 * GetSystemMetrics(SM_CXBORDER) : 0;
        LONG width = text.cx + frame, height = text.cy + frame;
        RECT expected = at;
        if (c.style & SS_CENTERIMAGE) {
            expected.top = at.top + (at.bottom - at.top - height) / 2;
        }
        expected.bottom = expected.top + height;
        switch (c.style & SS_TYPEMASK) {
        case SS_CENTER:
            expected.left = at.left + (at.right - at.left - width) / 2;
            expected.right = expected.left + width;
            break;
        case SS_RIGHT:
            expected.left = at.right - width;
            break;
        default:
            expected.right = at.left + width;
        }
        RECT fitted = RectInHost(window);
        EXPECT_TRUE(EqualRect(&expected, &fitted))
            << "expected " << expected.left << "," << expected.top << "," << expected.right << "," << expected.bottom
            << " got " << fitted.left << "," << fitted.top << "," << fitted.right << "," << fitted.bottom;
        DestroyWindow(window);
    }
}

TEST_F(HyperlinkLabelTest, EmptyTemplateTextShowsTheTargetAndTheTooltipAlwaysShowsTheTarget) {
    HyperlinkLabel empty;
    empty.SetTarget(kTarget);
    ASSERT_TRUE(empty.Attach(MakeStatic("", SS_LEFT, {10, 10, 300, 30})));
    EXPECT_EQ(kTarget, ui::GetWindowTextString(empty));
    EXPECT_EQ(nullptr, empty.ToolTip()) << "made when the pointer first comes";
    EXPECT_EQ(kTarget, vxtest::ToolTipText(vxtest::LetMouseReach(empty), empty));
    EXPECT_TRUE(GetWindowLongA(empty, GWL_STYLE) & SS_NOTIFY) << "clicks and moves reach it";

    HyperlinkLabel named;
    ASSERT_TRUE(named.Attach(MakeStatic("Mail to support", SS_LEFT, {10, 40, 300, 60})));
    EXPECT_EQ("Mail to support", named.Target()) << "no target yet: the text is the target";
    EXPECT_EQ("Mail to support", vxtest::ToolTipText(vxtest::LetMouseReach(named), named));
    named.SetTarget("mailto:support@vantorix.example");
    EXPECT_EQ("Mail to support", ui::GetWindowTextString(named)) << "the text stays";
    EXPECT_EQ("mailto:support@vantorix.example", vxtest::ToolTipText(named.ToolTip(), named));
}

TEST_F(HyperlinkLabelTest, HandPointerOverTheLink) {
    HyperlinkLabel link;
    ASSERT_TRUE(link.Attach(MakeStatic("Vantorix web site", SS_LEFT, {150, 40, 290, 60})));
    EXPECT_EQ(nullptr, link.LinkCursor()) << "loaded when the pointer first comes";
    EXPECT_TRUE(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link.Hwnd()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    ASSERT_NE(nullptr, link.LinkCursor()) << "winhlp32's hand, or the system's where it has none";
    EXPECT_EQ(link.LinkCursor(), GetCursor());
    HCURSOR before = link.LinkCursor();
    link.LoadLinkCursor();
    EXPECT_EQ(before, link.LinkCursor()) << "loaded once";
}

TEST_F(HyperlinkLabelTest, AClickOpensTheTargetAndMarksItVisited) {
    HyperlinkLabel link;
    ASSERT_TRUE(link.Attach(MakeStatic("Vantorix web site", SS_LEFT, {150, 40, 290, 60})));
    link.SetTarget(kTarget);
    ShellStandIn shell(42);
    ASSERT_TRUE(MoveMouseUntil(CentreOf(link), [&] { return link.IsOverLink(); }));
    vxtest::SendMouse(MOUSEEVENTF_LEFTDOWN, CentreOf(link));
    vxtest::SendMouse(MOUSEEVENTF_LEFTUP, CentreOf(link));
    ASSERT_TRUE(vxtest::PumpUntil([] { return !g_opened.empty(); }));
    EXPECT_EQ(std::vector<std::string>{kTarget}, g_opened);
    EXPECT_EQ(std::vector<int>{SW_SHOW}, g_openedShow);
    EXPECT_TRUE(link.IsVisited());
    EXPECT_TRUE(vxtest::ShownMessages().empty());
}

TEST_F(HyperlinkLabelTest, AFailedOpenWithoutABrowserCommandExplainsTheShellsCode) {
    HyperlinkLabel link;
    ASSERT_TRUE(link.Attach(MakeStatic("Vantorix web site", SS_LEFT, {150, 40, 290, 60})));
    link.SetTarget(kTarget);
    link.SetVisited(true);
    HtmClass noCommand(nullptr);
    ShellStandIn shell(SE_ERR_NOASSOC);
    vxtest::ExpectMessage("Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename "
                          "extension.");
    SendMessageA(m_host, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED), reinterpret_cast<LPARAM>(link.Hwnd()));
    EXPECT_FALSE(link.IsVisited()) << "a failed open clears the visited state";
    EXPECT_EQ(1u, g_opened.size());
}

TEST(HyperlinkOpen, TheShellFirstThenTheCommandRegisteredForWebPagesWithTheTarget) {
    std::string recorder = ProgramFolder() + "fixtures\\CommandRecorder.exe";
    std::string log = recorder + ".log";
    struct Case {
        std::string command;   // as registered
        std::string expected;  // as started
    };
    const Case cases[] = {
        {"\"" + recorder + "\" -page \"%1\"", "\"" + recorder + "\" -page  " + kTarget},
        {"\"" + recorder + "\" %1 -new", "\"" + recorder + "\"  " + kTarget},
        {"\"" + recorder + "\" -nohome", "\"" + recorder + "\" -nohome " + kTarget},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        DeleteFileA(log.c_str());
        HtmClass browser(c.command.c_str());
        ShellStandIn shell(SE_ERR_NOASSOC);
        EXPECT_GT(HyperlinkLabel::OpenTarget(kTarget, SW_SHOW), 32);
        EXPECT_EQ(std::vector<std::string>{kTarget}, g_opened) << "the shell is asked first";
        EXPECT_EQ(std::vector<std::string>{c.expected}, vxtest::ReadLinesWhenThere(log, 1));
    }
    DeleteFileA(log.c_str());

    ShellStandIn opens(33);
    EXPECT_EQ(33, HyperlinkLabel::OpenTarget(kTarget, SW_SHOW)) << "the shell's success is the answer";
    HtmClass noCommand(nullptr);
    ShellStandIn fails(SE_ERR_FNF);
    EXPECT_EQ(SE_ERR_FNF, HyperlinkLabel::OpenTarget(kTarget, SW_SHOW)) << "no command: the shell's code";
    EXPECT_FALSE(vxtest::FileExists(log));
}

TEST(HyperlinkOpen, ReportOpenErrorHasATextForEveryCodeOfItsTable) {
    struct Case {
        INT_PTR code;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {1, "Unknown Error (1) occurred."},
        {4, "Unknown Error (4) occurred."},
    };
    for (const Case& c : cases) vxtest::ExpectMessage(std::string("Unable to open hyperlink:\n\n") + c.text);
    for (const Case& c : cases) HyperlinkLabel::ReportOpenError(c.code);
    for (const vxtest::ShownMessage& shown : vxtest::ShownMessages())
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), shown.type) << shown.text;
}

TEST_F(HyperlinkLabelTest, FontsPointerAndTooltipAreReleasedWhenTheLabelGoes) {
    int before = vxtest::GdiObjectCount();
    ASSERT_GT(before, 0);
    HCURSOR hand = nullptr;
    HWND tip = nullptr;
    HFONT fonts[2] = {};
    {
        HWND window = MakeStatic("Vantorix web site", SS_LEFT, {150, 40, 290, 60});
        HyperlinkLabel link;
        ASSERT_TRUE(link.Attach(window));
        fonts[0] = link.UnderlinedFont();
        fonts[1] = link.PlainFont();
        ASSERT_TRUE(MoveMouseUntil(CentreOf(link), [&] { return link.IsOverLink(); }));
        tip = link.ToolTip();
        ASSERT_NE(nullptr, tip) << "made when the pointer came";
        hand = link.LinkCursor();
        ASSERT_NE(nullptr, hand) << "loaded when the pointer came";
        ASSERT_TRUE(MoveMouseUntil(Outside(), [&] { return !link.IsOverLink(); }));
        link.SetUnderlineMode(HyperlinkLabel::UNDERLINE_ALWAYS);
        DestroyWindow(window);
        EXPECT_EQ(nullptr, link.UnderlinedFont());
    }
    for (HFONT font : fonts) EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_FALSE(CursorExists(hand));
    EXPECT_FALSE(IsWindow(tip));

    // The object may also go before its window, as members go before their dialog.
    HWND window = MakeStatic("Mail to support", SS_LEFT, {150, 40, 290, 60});
    {
        HyperlinkLabel link;
        ASSERT_TRUE(link.Attach(window));
        link.SetUnderlineMode(HyperlinkLabel::UNDERLINE_ALWAYS);
        tip = vxtest::LetMouseReach(link);
        ASSERT_NE(nullptr, tip);
    }
    EXPECT_FALSE(IsWindow(tip));
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    DestroyWindow(window);
    EXPECT_EQ(before, vxtest::GdiObjectCount());
}

}  // namespace
