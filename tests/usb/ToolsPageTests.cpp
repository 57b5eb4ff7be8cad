#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "tests/common/TestSupport.h"
#include "ui/Controls.h"
#include "usb/ToolsPage.h"

namespace {

const char POLICIES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char IMMUNITY_EXPLAINED[] =
    "Acquire Immunity:\r\n  To block most of the malicious programs from USB drive, 'Acquire Immunity' can disable "
    "AUTORUN of USB drive and create directories named AUTORUN.INF on your hard drives and USB drives.\r\nCancel "
    "Immunity:\r\n  'Cancel Immunity' can enable AUTORUN of USB drive and delete directories AUTORUN.INF on your hard "
    "drives and USB drives.";
const char REMOVAL_EXPLAINED[] =
    "Problem:\r\n  When you want to remove your USB disk, sometimes system gives you a message:\r\n  The device "
    "'Generic volume' cannot be stopped right now. Try stopping the device again later.\r\nSolution:\r\n1. Exit "
    "programs using USB disk (word, excel, and so on)\r\n2. Press the button 'Safely Remove'.";

std::string TipText(ImageButton& button) {
    char text[512] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.lpszText = text;
    vxtest::LetMouseReach(button);
    if (!SendMessageA(button.ToolTip(), TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool))) return "";
    // The A messages cut the text at 80 characters; the W one gives it whole.
    wchar_t wide[512] = {};
    TOOLINFOW toolW = {};
    toolW.cbSize = TTTOOLINFOW_V1_SIZE;
    toolW.hwnd = tool.hwnd;
    toolW.uId = tool.uId;
    toolW.lpszText = wide;
    SendMessageW(button.ToolTip(), TTM_GETTEXTW, sizeof wide / sizeof wide[0], reinterpret_cast<LPARAM>(&toolW));
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

BITMAP BitmapSize(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    return info;
}

class ToolsPageTest : public testing::Test {
protected:
    void SetUp() override {
        // The page is a child template: a hidden pop-up stands in for the main window.
        m_parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 40, 40, 750, 450, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_parent);
        ASSERT_TRUE(page.Create(m_parent));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    void TearDown() override {
        page.DestroyWindow();
        DestroyWindow(m_parent);
        RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY);
    }

    static void Click(ImageButton& button) { SendMessageA(button.Hwnd(), BM_CLICK, 0, 0); }

    ToolsPage page;
    HWND m_parent = nullptr;
};

TEST_F(ToolsPageTest, ExplainsBothToolsInItsTwoReadOnlyTexts) {
    EXPECT_EQ(IMMUNITY_EXPLAINED, page.ImmunityText());
    EXPECT_EQ(REMOVAL_EXPLAINED, page.RemovalText());
    for (int id : {IDC_TOOLS_IMMUNITY_TEXT, IDC_TOOLS_REMOVAL_TEXT}) {
        LONG style = GetWindowLongA(page.Item(id), GWL_STYLE);
        EXPECT_TRUE(style & ES_READONLY) << id;
        EXPECT_TRUE(style & ES_MULTILINE) << id;
    }
    EXPECT_TRUE(GetWindowLongA(page.Item(IDC_TOOLS_IMMUNITY_TEXT), GWL_STYLE) & WS_VSCROLL);
}

TEST_F(ToolsPageTest, ThreeImageButtonsWithTheirPicturesTipsAndHandPointer) {
    struct Expected {
        ImageButton& button;
        int bitmap;
        const char* tip;
    } buttons[] = {
        {page.ImmunizeButton(), IDB_IMMUNIZE,
         "Disable AUTORUN of USB drive and create directories named AUTORUN.INF on your hard drives and USB drives."},
        {page.CancelImmunityButton(), IDB_CANCEL_IMMUNITY,
         "Enable AUTORUN of USB drive and delete directories AUTORUN.INF"},
        {page.SafeRemoveButton(), IDB_SAFE_REMOVE, "Enable you to remove USB disk safely"},
    };
    for (Expected& e : buttons) {
        SCOPED_TRACE(e.tip);
        ASSERT_NE(nullptr, e.button.Hwnd());
        EXPECT_TRUE(IsWindowEnabled(e.button.Hwnd()));
        EXPECT_EQ(e.tip, TipText(e.button));
        EXPECT_EQ(1, e.button.ImagePlacement()) << "image above the caption";
        HBITMAP own = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(e.bitmap));
        ASSERT_NE(nullptr, e.button.Bitmap(0));
        EXPECT_EQ(BitmapSize(own).bmWidth, BitmapSize(e.button.Bitmap(0)).bmWidth);
        EXPECT_EQ(BitmapSize(own).bmHeight, BitmapSize(e.button.Bitmap(0)).bmHeight);
        DeleteObject(own);
    }
}

TEST_F(ToolsPageTest, EachButtonRunsItsOperation) {
    vxtest::ExpectMessage("Your computer and USB storage are immune from virus");
    Click(page.ImmunizeButton());
    EXPECT_TRUE(GetFileAttributesA("E:\\AUTORUN.INF") & FILE_ATTRIBUTE_HIDDEN);

    vxtest::ExpectMessage("Your computer and USB storage device are not immune away from virus!");
    Click(page.CancelImmunityButton());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("E:\\AUTORUN.INF"));

    vxtest::ExpectMessage("Have you exited all the programs that are using USB disk?", IDCANCEL);
    Click(page.SafeRemoveButton());
    EXPECT_EQ(3u, vxtest::ShownMessages().size());
}

TEST_F(ToolsPageTest, Screenshot) {
    SetWindowPos(page.Hwnd(), HWND_TOP, 0, 0, 750, 450, SWP_SHOWWINDOW);
    ShowWindow(m_parent, SW_SHOW);
    vxtest::PumpFor(500);
    EXPECT_NE("", vxtest::SaveScreenshot(m_parent, "tools_page"));
    ShowWindow(m_parent, SW_HIDE);
}

}  // namespace
