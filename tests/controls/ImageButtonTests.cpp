#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "tests/common/TestSupport.h"
#include "ui/Dialog.h"
#include "ui/Guards.h"

namespace {

using vxtest::CentreOf;
using vxtest::GdiObjectCount;
using vxtest::MoveMouseUntil;
using vxtest::ScreenPoint;
using vxtest::SendMouse;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
// Pixels the button did not paint keep this colour.
const COLORREF kUnpainted = RGB(1, 2, 3);

// The fixture bitmap: a coloured (red) block inside a white frame, white being the
// transparent colour. Not square, so that width and height cannot be swapped.
const int kBitmapWidth = 20;
const int kBitmapHeight = 14;
const int kFrame = 2;
const int kRedPixels = (kBitmapWidth - 2 * kFrame) * (kBitmapHeight - 2 * kFrame);

const int kNextId = 1100;

HBITMAP MakeFramedBitmap(COLORREF blockColour = kRed) {
    ui::ScopedWindowDc screen(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kBitmapWidth, kBitmapHeight);
    ui::ScopedMemoryDc dc(CreateCompatibleDC(screen));
    ui::ScopedSelect select(dc, bitmap);
    ui::ScopedBrush white(CreateSolidBrush(kWhite)), block(CreateSolidBrush(blockColour));
    RECT all = {0, 0, kBitmapWidth, kBitmapHeight};
    FillRect(dc, &all, white);
    RECT inside = {kFrame, kFrame, kBitmapWidth - kFrame, kBitmapHeight - kFrame};
    FillRect(dc, &inside, block);
    return bitmap;
}

// The pixels of a 32-bit bitmap, top row first, as COLORREFs.
std::vector<COLORREF> ReadPixels(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info = vxtest::TopDown32BitInfo(width, height);
    std::vector<DWORD> bits(static_cast<size_t>(width) * height);
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
    std::vector<COLORREF> pixels(bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        pixels[i] = RGB((bits[i] >> 16) & 0xFF, (bits[i] >> 8) & 0xFF, bits[i] & 0xFF);
    return pixels;
}

struct Rendering {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int Count(const std::function<bool(COLORREF)>& match) const {
        int n = 0;
        for (COLORREF c : pixels) n += match(c) ? 1 : 0;
        return n;
    }
    // The smallest rectangle holding every matching pixel; empty when none.
    RECT Bounds(const std::function<bool(int x, int y)>& match) const {
        RECT r = {width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (match(x, y)) {
                    if (x < r.left) r.left = x;
                    if (y < r.top) r.top = y;
                    if (x + 1 > r.right) r.right = x + 1;
                    if (y + 1 > r.bottom) r.bottom = y + 1;
                }
        if (r.left >= r.right) r = {0, 0, 0, 0};
        return r;
    }
};

bool IsRed(COLORREF c) {
    return GetRValue(c) >= 200 && GetGValue(c) <= 60 && GetBValue(c) <= 60;
}
bool IsBlue(COLORREF c) {
    return GetBValue(c) >= 200 && GetRValue(c) <= 60 && GetGValue(c) <= 60;
}
bool IsColoured(COLORREF c) {
    return GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c);
}

// Runs `draw` on a fresh bitmap of the screen's format, filled with
// `background` first, and returns the pixels.
std::vector<COLORREF> PaintOn(int width, int height, COLORREF background, const std::function<void(HDC)>& draw) {
    ui::ScopedWindowDc screen(nullptr);
    ui::ScopedMemoryDc dc(CreateCompatibleDC(screen));
    ui::ScopedBitmap canvas(CreateCompatibleBitmap(screen, width, height));
    {
        ui::ScopedSelect select(dc, canvas);
        ui::ScopedBrush brush(CreateSolidBrush(background));
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, brush);
        draw(dc);
    }
    return ReadPixels(dc, canvas, width, height);
}

// Renders the control the way the system paints it (WM_PRINTCLIENT goes
// through the button's own paint code, which asks the parent to draw the
// item with the button's real state).
Rendering Render(HWND control) {
    Rendering out;
    RECT client;
    GetClientRect(control, &client);
    out.width = client.right;
    out.height = client.bottom;
    out.pixels = PaintOn(out.width, out.height, kUnpainted, [&](HDC dc) {
        SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
    return out;
}

// Where the fixture bitmap was drawn: the red block grown by the white frame.
RECT FramedImageRect(const Rendering& r) {
    RECT block = r.Bounds([&](int x, int y) { return IsRed(r.At(x, y)); });
    if (IsRectEmpty(&block)) return block;
    InflateRect(&block, kFrame, kFrame);
    return block;
}

std::string Describe(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

// Records the queued messages that reach one window, with their wParam.
class MessageRecorder {
public:
    struct Seen {
        UINT message;
        WPARAM wParam;
    };
    explicit MessageRecorder(HWND target) {
        s_target = target;
        s_seen.clear();
        m_hook = SetWindowsHookExA(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());
    }
    ~MessageRecorder() {
        UnhookWindowsHookEx(m_hook);
        s_target = nullptr;
    }
    std::vector<WPARAM> Of(UINT message) const {
        std::vector<WPARAM> found;
        for (const Seen& seen : s_seen)
            if (seen.message == message) found.push_back(seen.wParam);
        return found;
    }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && msg->hwnd == s_target)
            s_seen.push_back({msg->message, msg->wParam});
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static HWND s_target;
    static std::vector<Seen> s_seen;
    HHOOK m_hook;
};
HWND MessageRecorder::s_target = nullptr;
std::vector<MessageRecorder::Seen> MessageRecorder::s_seen;

// A 16 x 16 icon whose rows come in pairs of one colour each; its first
// column is transparent, so that its mask is not a blank one.
const int kIconSize = 16;
HICON MakeBandIcon(const std::vector<COLORREF>& bands) {
    ui::ScopedWindowDc screen(nullptr);
    ui::ScopedBitmap colour(CreateCompatibleBitmap(screen, kIconSize, kIconSize));
    {
        ui::ScopedMemoryDc dc(CreateCompatibleDC(screen));
        ui::ScopedSelect select(dc, colour);
        for (size_t i = 0; i < bands.size(); ++i) {
            RECT band = {0, static_cast<LONG>(i) * 2, kIconSize, static_cast<LONG>(i) * 2 + 2};
            ui::ScopedBrush brush(CreateSolidBrush(bands[i]));
            FillRect(dc, &band, brush);
        }
    }
    BYTE maskRows[kIconSize * 2] = {};
    for (int y = 0; y < kIconSize; ++y) maskRows[y * 2] = 0x80;
    ui::ScopedBitmap mask(CreateBitmap(kIconSize, kIconSize, 1, 1, maskRows));
    ICONINFO info = {TRUE, 0, 0, mask, colour};
    return CreateIconIndirect(&info);
}

struct IconPixels {
    int size = 0;
    std::vector<COLORREF> colour;
    std::vector<COLORREF> mask;
};
IconPixels ReadIcon(HICON icon) {
    IconPixels out;
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return out;
    ui::ScopedBitmap colour(info.hbmColor), mask(info.hbmMask);
    out.size = static_cast<int>(info.xHotspot * 2);
    ui::ScopedWindowDc screen(nullptr);
    out.colour = ReadPixels(screen, colour, out.size, out.size);
    out.mask = ReadPixels(screen, mask, out.size, out.size);
    return out;
}

bool IconExists(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return false;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

class HostDialog : public ui::Dialog {
public:
    explicit HostDialog(UINT templateId) : Dialog(templateId) {}
    using ui::Dialog::OnCommandId;
};

// A push button made at run time; it goes with its parent.
HWND MakeButton(HWND parent, const char* text, DWORD style, int x, int y, int id = 0) {
    return CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, x, y, 80, 24, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

// The status pop-up hosts the button under test (its push button 1002) and a
// second push button after it in the tab order.
class ImageButtonTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Create(nullptr));
        SetWindowPos(m_host, HWND_TOPMOST, 200, 200, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        m_host.OnCommandId(IDC_POPUP_STATE, [this] { ++m_clicks; });
        ASSERT_TRUE(m_button.SubclassDlgItem(IDC_POPUP_STATE, m_host));
        m_next = MakeButton(m_host, "Next", WS_TABSTOP | BS_PUSHBUTTON, 90, 46, kNextId);
        ASSERT_NE(nullptr, m_next);
        vxtest::PumpFor(20);
    }
    void TearDown() override {
        // Leaves the pointer where it hovers nothing of the next test.
        SetCursorPos(0, 0);
    }

    // The fixture bitmap as the button's only image.
    void UseFramedBitmap() { ASSERT_EQ(0u, m_button.SetBitmapPair(MakeFramedBitmap(), kWhite, nullptr, 0)); }

    // A point of the pop-up clear of all its controls.
    POINT Outside() const { return ScreenPoint(m_host, 150, 8); }

    enum State { NORMAL, HOVERED, PRESSED, FOCUSED };
    static const char* Name(State state) {
        static const char* const names[] = {"normal", "hovered", "pressed", "focused"};
        return names[state];
    }
    void Enter(State state) {
        switch (state) {
        case NORMAL:
            break;
        case HOVERED:
            ASSERT_TRUE(MoveOn());
            break;
        case PRESSED:
            SendMessageA(m_button, BM_SETSTATE, TRUE, 0);
            break;
        case FOCUSED:
            SetFocus(m_button);
            break;
        }
    }
    void BackToNormal() {
        SendMessageA(m_button, BM_SETSTATE, FALSE, 0);
        SetFocus(m_next);
        ASSERT_TRUE(MoveOff());
    }

    // Real mouse moves out of the button and back onto it.
    bool MoveOff() {
        return MoveMouseUntil(Outside(), [this] { return !m_button.IsHovering(); });
    }
    bool MoveOn() {
        return MoveMouseUntil(CentreOf(m_button), [this] { return m_button.IsHovering(); });
    }

    int m_clicks = 0;
    HostDialog m_host{IDD_STATUS_POPUP};
    ImageButton m_button;
    HWND m_next = nullptr;
};

TEST_F(ImageButtonTest, PlacementAboveTwoIsRefusedAndKeepsTheOldOne) {
    EXPECT_EQ(0u, m_button.SetImagePlacement(1));
    EXPECT_EQ(4u, m_button.SetImagePlacement(3));
    EXPECT_EQ(1, m_button.ImagePlacement());
    EXPECT_EQ(4u, m_button.SetImagePlacement(255));
    EXPECT_EQ(1, m_button.ImagePlacement());
}

TEST_F(ImageButtonTest, OneBitmapShowsInEveryStateWithItsWhiteShowingTheBackground) {
    UseFramedBitmap();
    ASSERT_EQ(0u, m_button.SetImagePlacement(1));
    COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHILIGHT),
             dark = GetSysColor(COLOR_BTNSHADOW);
    ASSERT_NE(kWhite, face) << "the background must differ from the bitmap's white";
    RECT client;
    GetClientRect(m_button, &client);
    // Above the caption: centred across, 3 pixels from the top.
    const RECT above = {(client.right - kBitmapWidth) / 2, 3, (client.right - kBitmapWidth) / 2 + kBitmapWidth,
                        3 + kBitmapHeight};
    struct Case {
        State state;
        COLORREF topLeft, bottomRight;  // the frame's colours, or the background
        int shift;
    };
    const Case cases[] = {
        {NORMAL, face, face, 0},
        {HOVERED, light, dark, 0},
        {PRESSED, dark, light, 1},
        {FOCUSED, face, face, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c.state));
        Enter(c.state);
        Rendering r = Render(m_button);
        EXPECT_EQ(0, r.Count([](COLORREF p) { return p == kUnpainted; })) << "the whole button is painted";
        RECT image = above;
        OffsetRect(&image, c.shift, c.shift);
        EXPECT_EQ(Describe(image), Describe(FramedImageRect(r)));
        EXPECT_EQ(kRedPixels, r.Count(IsRed));
        int frame = 0, frameOnFace = 0;
        for (int y = image.top; y < image.bottom; ++y)
            for (int x = image.left; x < image.right; ++x)
                if (x < image.left + kFrame || x >= image.right - kFrame || y < image.top + kFrame ||
                    y >= image.bottom - kFrame) {
                    ++frame;
                    frameOnFace += r.At(x, y) == face ? 1 : 0;
                }
        EXPECT_EQ(frame, frameOnFace) << "the white frame of the bitmap shows the background";
        EXPECT_EQ(c.topLeft, r.At(0, 0));
        EXPECT_EQ(c.bottomRight, r.At(r.width - 1, r.height - 1));
        BackToNormal();
    }
}

// A picture resource draws exactly as the device bitmap of the same resource
// does: its mask and its blackened transparent pixels are made from its own
// pixels, row by row in its order. Widths of 40 and 220 pad the mask's rows.
TEST_F(ImageButtonTest, PictureResourcesDrawLikeTheirDeviceBitmaps) {
    SetWindowPos(m_button, nullptr, 0, 0, 240, 140, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowTextA(m_button, "");
    for (int id : {IDB_PAGE_INFO, IDB_PAGE_SHIELD_HOVER, IDB_SHIELD_ACTIVE, IDB_LOGO}) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        ASSERT_EQ(0u, m_button.SetBitmapPair(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)), kWhite,
                                             nullptr, 0));
        Rendering device = Render(m_button);
        ASSERT_EQ(0u, m_button.LoadBitmapPair(id, kWhite, 0, 0));
        Rendering loaded = Render(m_button);
        ASSERT_EQ(device.pixels.size(), loaded.pixels.size());
        int differing = 0;
        for (size_t i = 0; i < loaded.pixels.size(); ++i) differing += loaded.pixels[i] != device.pixels[i] ? 1 : 0;
        EXPECT_EQ(0, differing);
        EXPECT_EQ(0, loaded.Count([](COLORREF p) { return p == kWhite; })) << "white shows the background";
    }
}

TEST_F(ImageButtonTest, HoverImageWhileHoveredOrPressedElseTheNormalOne) {
    struct Case {
        State state;
        bool hoverImage;
    };
    const Case cases[] = {{NORMAL, false}, {HOVERED, true}, {PRESSED, true}, {FOCUSED, false}};

    // Bitmaps: a red hover block, a blue normal one.
    ASSERT_EQ(0u, m_button.SetBitmapPair(MakeFramedBitmap(kRed), kWhite, MakeFramedBitmap(RGB(0, 0, 255)), kWhite));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("bitmaps, ") + Name(c.state));
        Enter(c.state);
        Rendering r = Render(m_button);
        EXPECT_EQ(c.hoverImage ? kRedPixels : 0, r.Count(IsRed));
        EXPECT_EQ(c.hoverImage ? 0 : kRedPixels, r.Count(IsBlue));
        BackToNormal();
    }
    // Icons: the coloured hover icon, its grey copy otherwise.
    ASSERT_EQ(0u, m_button.LoadIconPair(IDI_HELP, ImageButton::GREY_COPY));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("icons, ") + Name(c.state));
        Enter(c.state);
        Rendering r = Render(m_button);
        int coloured = r.Count(IsColoured);
        EXPECT_TRUE(c.hoverImage ? coloured > 0 : coloured == 0) << coloured << " coloured pixels";
        BackToNormal();
    }
}

TEST_F(ImageButtonTest, DisabledButtonDrawsItsBitmapEmbossedAndItsCaptionEtched) {
    UseFramedBitmap();
    COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHILIGHT),
             dark = GetSysColor(COLOR_BTNSHADOW);
    auto embossColours = [&](COLORREF p) { return p == face || p == light || p == dark; };

    SetWindowTextA(m_button, "");  // the image alone first
    Rendering enabled = Render(m_button);
    RECT block = enabled.Bounds([&](int x, int y) { return IsRed(enabled.At(x, y)); });
    ASSERT_FALSE(IsRectEmpty(&block));
    EnableWindow(m_button, FALSE);
    Rendering disabled = Render(m_button);
    EXPECT_EQ(0, disabled.Count(IsRed));
    EXPECT_EQ(disabled.width * disabled.height, disabled.Count(embossColours)) << "only face, shadow and highlight";
    // The bitmap's shape in shadow, its highlight one pixel right and down;
    // the white (transparent) frame leaves no trace.
    EXPECT_EQ(Describe(block), Describe(disabled.Bounds([&](int x, int y) { return disabled.At(x, y) == dark; })));
    EXPECT_EQ(kRedPixels, disabled.Count([&](COLORREF p) { return p == dark; }));
    RECT highlight = block;
    OffsetRect(&highlight, 1, 1);
    EXPECT_EQ(Describe(highlight),
              Describe(disabled.Bounds([&](int x, int y) { return disabled.At(x, y) == light; })));

    SetWindowTextA(m_button, "Active");
    Rendering etched = Render(m_button);
    EXPECT_EQ(etched.width * etched.height, etched.Count(embossColours))
        << "the caption is etched in highlight and shadow";
    EXPECT_GT(etched.Count([&](COLORREF p) { return p == dark; }), kRedPixels) << "the caption is drawn";
}

TEST_F(ImageButtonTest, ImageRectangleForEachPlacementWithAndWithoutCaption) {
    const int width = 160, height = 64;
    SetWindowPos(m_button, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    UseFramedBitmap();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const int centredX = (width - kBitmapWidth) / 2, centredY = (height - kBitmapHeight) / 2;
    enum Side { NO_CAPTION, RIGHT_OF_IMAGE, BELOW_IMAGE, LEFT_OF_IMAGE };
    struct Case {
        int placement;
        const char* caption;
        int left, top;
        Side captionSide;
    };
    const Case cases[] = {
        {0, "Go", 3, centredY, RIGHT_OF_IMAGE},
        {0, "", centredX, centredY, NO_CAPTION},
        {1, "Go", centredX, 3, BELOW_IMAGE},
        {1, "", centredX, centredY, NO_CAPTION},
        {2, "Go", width - kBitmapWidth - 3, centredY, LEFT_OF_IMAGE},
        {2, "", centredX, 3, NO_CAPTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("placement " + std::to_string(c.placement) + " caption \"" + c.caption + "\"");
        ASSERT_EQ(0u, m_button.SetImagePlacement(c.placement));
        SetWindowTextA(m_button, c.caption);
        Rendering r = Render(m_button);
        RECT image = FramedImageRect(r);
        RECT expected = {c.left, c.top, c.left + kBitmapWidth, c.top + kBitmapHeight};
        EXPECT_EQ(Describe(expected), Describe(image));
        RECT ink = r.Bounds([&](int x, int y) {
            POINT p = {x, y};
            return r.At(x, y) != face && !PtInRect(&image, p);
        });
        switch (c.captionSide) {
        case NO_CAPTION:
            EXPECT_TRUE(IsRectEmpty(&ink)) << Describe(ink);
            break;
        case RIGHT_OF_IMAGE:
            EXPECT_GE(ink.left, image.right) << Describe(ink);
            break;
        case BELOW_IMAGE:
            EXPECT_GE(ink.top, image.bottom) << Describe(ink);
            break;
        case LEFT_OF_IMAGE:
            EXPECT_LE(ink.right, image.left) << Describe(ink);
            break;
        }
        if (c.captionSide != NO_CAPTION) {
            EXPECT_FALSE(IsRectEmpty(&ink)) << "the caption is drawn";
        }
    }
}

TEST_F(ImageButtonTest, HoverDoesNotStartWhileTheLeftButtonIsHeldDownFromOutside) {
    POINT outside = Outside(), over = CentreOf(m_button);
    ASSERT_EQ(m_host.Hwnd(), WindowFromPoint(outside));
    ASSERT_EQ(m_button.Hwnd(), WindowFromPoint(over));
    MessageRecorder seen(m_button);
    SendMouse(0, outside);
    SendMouse(MOUSEEVENTF_LEFTDOWN, outside);
    vxtest::PumpFor(50);
    SendMouse(0, over);
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !seen.Of(WM_MOUSEMOVE).empty(); }, 2000));
    vxtest::PumpFor(100);
    for (WPARAM keys : seen.Of(WM_MOUSEMOVE)) EXPECT_TRUE(keys & MK_LBUTTON) << "the moves came with the button held";
    EXPECT_FALSE(m_button.IsHovering());

    SendMouse(MOUSEEVENTF_LEFTUP, over);
    over.x += 1;
    EXPECT_TRUE(MoveMouseUntil(over, [&] { return m_button.IsHovering(); })) << "a move with the button up";
    EXPECT_TRUE(MoveOff()) << "leaving the button ends the hover";
    EXPECT_EQ(0, m_clicks) << "a release without a press on it is no click";
}

TEST_F(ImageButtonTest, HoverEndsOnLeaveFocusLossCancelModeAndDisabling) {
    struct Case {
        const char* what;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"mouse leave", [&] { SendMessageA(m_button, WM_MOUSELEAVE, 0, 0); }},
        {"focus lost", [&] { SetFocus(m_next); }},
        {"cancel mode", [&] { SendMessageA(m_button, WM_CANCELMODE, 0, 0); }},
        {"disabled", [&] { EnableWindow(m_button, FALSE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetFocus(m_button);
        ASSERT_TRUE(MoveOn());
        c.act();
        EXPECT_FALSE(m_button.IsHovering());
        EnableWindow(m_button, TRUE);
        ASSERT_TRUE(MoveOff());
    }
}

TEST_F(ImageButtonTest, ClickFocusesTheButtonAndTheParentStillGetsTheCommand) {
    SetFocus(m_next);
    POINT over = CentreOf(m_button);
    SendMouse(0, over);
    SendMouse(MOUSEEVENTF_LEFTDOWN, over);
    SendMouse(MOUSEEVENTF_LEFTUP, over);
    EXPECT_TRUE(vxtest::PumpUntil([&] { return m_clicks == 1; }, 2000));
    EXPECT_EQ(m_button.Hwnd(), GetFocus());

    // The click notification alone, as the dialog manager sends it for Enter:
    // the button was never pressed, so the focus comes from the button itself.
    SetFocus(m_next);
    SendMessageA(m_host, WM_COMMAND, MAKEWPARAM(IDC_POPUP_STATE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(m_button.Hwnd()));
    EXPECT_EQ(2, m_clicks);
    EXPECT_EQ(m_button.Hwnd(), GetFocus());
}

TEST_F(ImageButtonTest, FastSecondClickIsASecondClick) {
    MessageRecorder seen(m_button);
    POINT over = CentreOf(m_button);
    SendMouse(0, over);
    for (int i = 0; i < 2; ++i) {
        SendMouse(MOUSEEVENTF_LEFTDOWN, over);
        SendMouse(MOUSEEVENTF_LEFTUP, over);
    }
    EXPECT_TRUE(vxtest::PumpUntil([&] { return m_clicks == 2; }, 2000)) << m_clicks << " clicks";
    EXPECT_EQ(1u, seen.Of(WM_LBUTTONDBLCLK).size()) << "the second press came as a double-click";
}

TEST_F(ImageButtonTest, DisablingTheFocusedButtonMovesTheFocusOn) {
    SetFocus(m_button);
    EnableWindow(m_button, FALSE);
    EXPECT_EQ(m_next, GetFocus()) << "to the next tab stop";

    EnableWindow(m_button, TRUE);
    DestroyWindow(m_next);
    SetFocus(m_button);
    EnableWindow(m_button, FALSE);
    // The pop-up itself, which as a dialog hands the focus to one of its controls.
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == m_host.Hwnd() || IsChild(m_host, focus)) << "with no other tab stop, into the pop-up";
    EXPECT_NE(m_button.Hwnd(), focus);
}

TEST_F(ImageButtonTest, DisablingAButtonWithoutTheFocusLeavesTheFocusWhereItIs) {
    // A worker disables its page's buttons while the user works elsewhere.
    SetFocus(m_next);
    EnableWindow(m_button, FALSE);
    EXPECT_EQ(m_next, GetFocus());
}

TEST_F(ImageButtonTest, ReplacingImagesAgainAndAgainKeepsTheGdiObjectCount) {
    {
        int before = GdiObjectCount();
        HBITMAP probe = CreateBitmap(1, 1, 1, 1, nullptr);
        ASSERT_EQ(before + 1, GdiObjectCount()) << "the GDI object count works";
        DeleteObject(probe);
        ASSERT_EQ(before, GdiObjectCount());
    }
    // Paints enabled and disabled, so that the drawing is counted too.
    auto paint = [&] {
        Render(m_button);
        EnableWindow(m_button, FALSE);
        Render(m_button);
        EnableWindow(m_button, TRUE);
    };

    ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, IDB_DELETE, kWhite));
    paint();
    const int withBitmaps = GdiObjectCount();
    for (int round = 0; round < 20; ++round) {
        HGDIOBJ replaced[] = {m_button.Bitmap(0), m_button.Mask(0), m_button.Bitmap(1), m_button.Mask(1)};
        // Alternately two pairs: the same pair again would keep its pictures.
        if (round % 2 == 0) {
            ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_REFRESH, kWhite, IDB_RESTORE, kWhite));
        } else {
            ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, IDB_DELETE, kWhite));
        }
        paint();
        for (HGDIOBJ gone : replaced) EXPECT_EQ(0u, GetObjectType(gone)) << "round " << round;
    }
    EXPECT_EQ(withBitmaps, GdiObjectCount());

    const std::vector<COLORREF> bands = {kRed, kWhite};
    ASSERT_EQ(0u, m_button.SetIconPair(MakeBandIcon(bands), MakeBandIcon(bands)));
    EXPECT_EQ(nullptr, m_button.Bitmap(0));
    paint();
    const int withIcons = GdiObjectCount();
    EXPECT_LT(withIcons, withBitmaps + 4) << "the bitmaps went when icons came";
    for (int round = 0; round < 20; ++round) {
        HICON replaced[] = {m_button.Icon(0), m_button.Icon(1)};
        // Alternately a given pair and a grey copy.
        ASSERT_EQ(0u, m_button.SetIconPair(MakeBandIcon(bands), MakeBandIcon(bands), round % 2 == 1));
        paint();
        for (HICON gone : replaced) EXPECT_FALSE(IconExists(gone)) << "round " << round;
    }
    EXPECT_EQ(withIcons, GdiObjectCount());
}

TEST_F(ImageButtonTest, ConfigurationResults) {
    ui::ScopedWindowDc screen(nullptr);
    ui::ScopedMemoryDc holder(CreateCompatibleDC(screen));
    HBITMAP held = CreateCompatibleBitmap(screen, 8, 8);
    HGDIOBJ unheld = SelectObject(holder, held);
    HBITMAP deleted = MakeFramedBitmap();
    DeleteObject(deleted);
    HICON destroyed = MakeBandIcon({kRed});
    DestroyIcon(destroyed);

    // What becomes of the images the button held before the call.
    enum Images { REPLACED, ALL_RELEASED, KEPT };
    struct Case {
        const char* what;
        std::function<DWORD()> call;
        DWORD result;
        Images images;
    };
    const Case cases[] = {
        {"two bitmap resources",
         [&] { return m_button.LoadBitmapPair(IDB_REFRESH, kWhite, IDB_DELETE, kWhite); }, 0, REPLACED},
        {"the same bitmap resource again",
         [&] { return m_button.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, 0, 0); }, 0, KEPT},
        {"a missing bitmap resource", [&] { return m_button.LoadBitmapPair(9999, kWhite, IDB_DELETE, kWhite); }, 0,
         ALL_RELEASED},
        {"two icon resources", [&] { return m_button.LoadIconPair(IDI_HELP, IDI_TRAY); }, 0, REPLACED},
        {"an icon and its grey copy", [&] { return m_button.LoadIconPair(IDI_HELP, ImageButton::GREY_COPY); }, 0,
         REPLACED},
        {"a deleted bitmap", [&] { return m_button.SetBitmapPair(deleted, kWhite, nullptr, 0); }, 1, ALL_RELEASED},
        {"a brush for a bitmap",
         [&] {
             HBITMAP brush = reinterpret_cast<HBITMAP>(CreateSolidBrush(kRed));
             return m_button.SetBitmapPair(brush, kWhite, nullptr, 0);
         },
         1, ALL_RELEASED},
        {"a font for a bitmap",
         [&] {
             HBITMAP font = reinterpret_cast<HBITMAP>(GetStockObject(ANSI_VAR_FONT));
             return m_button.SetBitmapPair(font, kWhite, nullptr, 0);
         },
         1, ALL_RELEASED},
        {"a good bitmap, then a pen",
         [&] {
             HBITMAP pen = reinterpret_cast<HBITMAP>(CreatePen(PS_SOLID, 1, kRed));
             return m_button.SetBitmapPair(MakeFramedBitmap(), kWhite, pen, kWhite);
         },
         1, ALL_RELEASED},
        {"a bitmap held by another DC", [&] { return m_button.SetBitmapPair(held, kWhite, nullptr, 0); }, 2,
         ALL_RELEASED},
        {"a destroyed icon", [&] { return m_button.SetIconPair(destroyed, nullptr); }, 1, ALL_RELEASED},
        {"the hand pointer", [&] { return m_button.SetPointerCursor(IDCUR_HAND); }, 0, KEPT},
        {"a missing pointer", [&] { return m_button.SetPointerCursor(9999); }, 1, KEPT},
        {"placement 2", [&] { return m_button.SetImagePlacement(2); }, 0, KEPT},
        {"placement 3", [&] { return m_button.SetImagePlacement(3); }, 4, KEPT},
        {"hover frame off", [&] { return m_button.EnableHoverFrame(false); }, 0, KEPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, 0, 0));
        HBITMAP before = m_button.Bitmap(0);
        EXPECT_EQ(c.result, c.call());
        bool hasImage = m_button.Bitmap(0) || m_button.Icon(0);
        switch (c.images) {
        case REPLACED:
            EXPECT_TRUE(hasImage);
            EXPECT_EQ(0u, GetObjectType(before));
            break;
        case ALL_RELEASED:
            EXPECT_FALSE(hasImage || m_button.Bitmap(1) || m_button.Icon(1));
            EXPECT_EQ(0u, GetObjectType(before));
            break;
        case KEPT:
            EXPECT_EQ(before, m_button.Bitmap(0));
            break;
        }
    }
    SelectObject(holder, unheld);
    DeleteObject(held);
}

// A configuration with its repaint argument marks a shown button to be drawn
// whole again; without it, the button is left as drawn.
TEST_F(ImageButtonTest, ConfigurationRepaintsAShownButtonWhenAsked) {
    struct Case {
        const char* what;
        std::function<void()> call;
        bool repaints;
    };
    const Case cases[] = {
        {"bitmap resources", [&] { m_button.LoadBitmapPair(IDB_REFRESH, kWhite, IDB_DELETE, kWhite); }, true},
        {"a bitmap", [&] { m_button.SetBitmapPair(MakeFramedBitmap(), kWhite, nullptr, 0); }, true},
        {"icon resources", [&] { m_button.LoadIconPair(IDI_HELP, 0); }, true},
        {"placement", [&] { m_button.SetImagePlacement(2); }, true},
        {"placement, no repaint", [&] { m_button.SetImagePlacement(1, false); }, false},
        {"hover frame", [&] { m_button.EnableHoverFrame(true); }, true},
        {"hover frame, no repaint", [&] { m_button.EnableHoverFrame(false, false); }, false},
        {"pointer", [&] { m_button.SetPointerCursor(IDCUR_HAND); }, true},
        {"colours", [&] { m_button.ResetColors(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RedrawWindow(m_button, nullptr, nullptr, RDW_UPDATENOW);
        ValidateRect(m_button, nullptr);
        c.call();
        RECT update = {};
        EXPECT_EQ(c.repaints, GetUpdateRect(m_button, &update, FALSE) != FALSE);
        if (c.repaints) {
            RECT client;
            GetClientRect(m_button, &client);
            EXPECT_TRUE(EqualRect(&client, &update)) << "the whole button";
        }
    }
}

TEST_F(ImageButtonTest, GreyCopyWeighsTheChannelsKeepsBlackAndTheMask) {
    const std::vector<COLORREF> bands = {kRed, RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 0, 0),
                                         kWhite, RGB(128, 128, 128), RGB(10, 200, 30), RGB(200, 100, 51)};
    ASSERT_EQ(0u, m_button.SetIconPair(MakeBandIcon(bands), nullptr, true));
    IconPixels hover = ReadIcon(m_button.Icon(0)), grey = ReadIcon(m_button.Icon(1));
    ASSERT_EQ(kIconSize, grey.size);
    for (size_t i = 0; i < bands.size(); ++i) {
        COLORREF c = bands[i];
        int luminance = (299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c)) / 1000;
        EXPECT_EQ(RGB(luminance, luminance, luminance), grey.colour[(i * 2) * kIconSize + 8])
            << "band " << i << " " << std::hex << c;
    }
    EXPECT_EQ(hover.mask, grey.mask) << "the grey copy uses the hover icon's own mask";
}

TEST_F(ImageButtonTest, GreyCopyOfAResourceIconCoversTheSamePixelsInGrey) {
    ASSERT_EQ(0u, m_button.LoadIconPair(IDI_HELP, ImageButton::GREY_COPY));
    IconPixels hover = ReadIcon(m_button.Icon(0)), grey = ReadIcon(m_button.Icon(1));
    ASSERT_GT(hover.size, 0);
    ASSERT_EQ(hover.size, grey.size);
    // Each icon drawn on blue: the same pixels are covered, in grey.
    const COLORREF blue = RGB(0, 0, 255);
    auto drawOnBlue = [&](HICON icon) {
        return PaintOn(hover.size, hover.size, blue,
                       [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, hover.size, hover.size, 0, nullptr, DI_NORMAL); });
    };
    std::vector<COLORREF> hoverDrawn = drawOnBlue(m_button.Icon(0)), greyDrawn = drawOnBlue(m_button.Icon(1));
    int covered = 0;
    for (size_t i = 0; i < hoverDrawn.size(); ++i) {
        bool hoverCovers = hoverDrawn[i] != blue, greyCovers = greyDrawn[i] != blue;
        EXPECT_EQ(hoverCovers, greyCovers) << "pixel " << i;
        covered += hoverCovers ? 1 : 0;
        COLORREF g = grey.colour[i];
        EXPECT_TRUE(GetRValue(g) == GetGValue(g) && GetGValue(g) == GetBValue(g)) << "pixel " << i;
    }
    EXPECT_GT(covered, 0);
}

// The first mouse message that reaches the button, as the message loop filters it.
void MouseComes(ImageButton& button) {
    MSG msg = {button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), GetTickCount(), CentreOf(button)};
    ui::Window::FilterMessage(&msg);
}

TEST_F(ImageButtonTest, TooltipHasOneToolOverTheButtonAndWrapsAt400Pixels) {
    m_button.SetTipText("Delete the selected file\r\nfrom the drive");
    MouseComes(m_button);
    HWND tip = m_button.ToolTip();
    ASSERT_NE(nullptr, tip);
    EXPECT_EQ(400, SendMessageA(tip, TTM_GETMAXTIPWIDTH, 0, 0));
    auto tool = [&](std::string* text, RECT* area) {
        char buffer[128] = {};
        TOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.hwnd = m_button;
        info.uId = 1;
        info.lpszText = buffer;
        bool found = SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
        *text = buffer;
        *area = info.rect;
        return found;
    };
    std::string text;
    RECT area, client;
    GetClientRect(m_button, &client);
    ASSERT_TRUE(tool(&text, &area));
    EXPECT_EQ("Delete the selected file\r\nfrom the drive", text);
    EXPECT_EQ(Describe(client), Describe(area));

    m_button.SetTipText("Other");
    m_button.SetTipText(nullptr);
    EXPECT_EQ(1, SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
    ASSERT_TRUE(tool(&text, &area));
    EXPECT_EQ("Other", text);
}

TEST_F(ImageButtonTest, TooltipIsMadeOnFirstNeed) {
    // A button no message has reached yet.
    ImageButton button;
    ASSERT_TRUE(button.Attach(MakeButton(m_host, "New", BS_PUSHBUTTON, 180, 4)));
    EXPECT_EQ(nullptr, button.ToolTip());
    button.SetTipText("Given before the mouse came");
    MSG paint = {button, WM_PAINT, 0, 0, GetTickCount(), {}};
    ui::Window::FilterMessage(&paint);
    EXPECT_EQ(nullptr, button.ToolTip()) << "no tooltip window while the mouse has not come";
    MouseComes(button);
    HWND tip = button.ToolTip();
    ASSERT_NE(nullptr, tip) << "by the first mouse message filtered for the button";
    char text[64] = {};
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = button;
    info.uId = 1;
    info.lpszText = text;
    ASSERT_TRUE(SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_STREQ("Given before the mouse came", text);
}

TEST_F(ImageButtonTest, ButtonsShareOnePointerWhichTheLastOneReleases) {
    ImageButton other;
    ASSERT_TRUE(other.Attach(MakeButton(m_host, "Other", BS_PUSHBUTTON, 180, 4)));
    ASSERT_EQ(0u, m_button.SetPointerCursor(IDCUR_HAND));
    ASSERT_EQ(0u, other.SetPointerCursor(IDCUR_HAND));
    HCURSOR hand = m_button.Pointer();
    EXPECT_EQ(hand, other.Pointer()) << "one copy of the pointer for every button";
    m_button.SetPointerCursor(0);
    EXPECT_TRUE(IconExists(hand)) << "still in use by the other button";
    other.SetPointerCursor(0);
    EXPECT_FALSE(IconExists(hand)) << "released with its last user";
}

TEST_F(ImageButtonTest, NormalBitmapSetAsideAndBackIsTheSameBitmap) {
    ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, IDB_DELETE, kWhite));
    HBITMAP hover = m_button.Bitmap(0), normal = m_button.Bitmap(1), mask = m_button.Mask(1);
    m_button.ShowNormalBitmap(false);
    EXPECT_EQ(hover, m_button.Bitmap(0));
    EXPECT_EQ(nullptr, m_button.Bitmap(1)) << "only the hover image shows";
    EXPECT_NE(0u, GetObjectType(normal)) << "set aside, not destroyed";
    m_button.ShowNormalBitmap(true);
    EXPECT_EQ(normal, m_button.Bitmap(1));
    EXPECT_EQ(mask, m_button.Mask(1));
    m_button.ShowNormalBitmap(false);
    m_button.ReleaseImages(true);
    EXPECT_EQ(0u, GetObjectType(normal)) << "a bitmap set aside is released with the others";
}

TEST_F(ImageButtonTest, ButtonsShowingTheSamePictureShareItUntilTheLastLetsGo) {
    HWND otherWindow = MakeButton(m_host, "Other", BS_PUSHBUTTON, 180, 4);
    ImageButton other;
    ASSERT_TRUE(other.Attach(otherWindow));
    ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_DELETE, kWhite, 0, 0));
    ASSERT_EQ(0u, other.LoadBitmapPair(IDB_DELETE, kWhite, 0, 0));
    HBITMAP bitmap = m_button.Bitmap(0), mask = m_button.Mask(0);
    EXPECT_EQ(bitmap, other.Bitmap(0)) << "loaded once";
    EXPECT_EQ(mask, other.Mask(0));

    // Another transparent colour is another mask, so another picture.
    ImageButton red;
    HWND redWindow = MakeButton(m_host, "Red", BS_PUSHBUTTON, 180, 30);
    ASSERT_TRUE(red.Attach(redWindow));
    ASSERT_EQ(0u, red.LoadBitmapPair(IDB_DELETE, kRed, 0, 0));
    EXPECT_NE(bitmap, red.Bitmap(0));
    DestroyWindow(redWindow);

    // The first to let go leaves the picture whole for the other.
    const Rendering before = Render(other);
    m_button.ReleaseImages(true);
    EXPECT_EQ(nullptr, m_button.Bitmap(0));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(bitmap));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(mask));
    EXPECT_TRUE(before.pixels == Render(other).pixels) << "the other button still draws it";

    DestroyWindow(otherWindow);
    EXPECT_EQ(0u, GetObjectType(bitmap)) << "the last button to let go deletes it";
    EXPECT_EQ(0u, GetObjectType(mask));
    ASSERT_EQ(0u, m_button.LoadBitmapPair(IDB_DELETE, kWhite, 0, 0));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(m_button.Bitmap(0))) << "and it is loaded anew when needed";
}

TEST_F(ImageButtonTest, PointerCursorIsShownOverTheButtonAndReleasedWhenReplaced) {
    auto setCursor = [&] {
        return SendMessageA(m_button, WM_SETCURSOR, reinterpret_cast<WPARAM>(m_button.Hwnd()),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    ASSERT_EQ(0u, m_button.SetPointerCursor(IDCUR_HAND));
    EXPECT_TRUE(setCursor());
    HCURSOR hand = GetCursor();
    EXPECT_TRUE(IconExists(hand));
    ASSERT_EQ(0u, m_button.SetPointerCursor(0));
    EXPECT_FALSE(IconExists(hand)) << "the replaced pointer is destroyed";
    EXPECT_FALSE(setCursor()) << "no pointer: default handling";
}

TEST_F(ImageButtonTest, DestroyingTheButtonReleasesImagesPointerAndTooltip) {
    HWND bitmapWindow = MakeButton(m_host, "Bitmaps", BS_PUSHBUTTON, 180, 4);
    HWND iconWindow = MakeButton(m_host, "Icons", BS_PUSHBUTTON, 180, 30);
    ImageButton withBitmaps, withIcons;
    ASSERT_TRUE(withBitmaps.Attach(bitmapWindow));
    ASSERT_TRUE(withIcons.Attach(iconWindow));
    ASSERT_EQ(0u, withBitmaps.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, IDB_DELETE, kWhite));
    HGDIOBJ bitmaps[] = {withBitmaps.Bitmap(0), withBitmaps.Mask(0), withBitmaps.Bitmap(1), withBitmaps.Mask(1)};
    ASSERT_EQ(0u, withBitmaps.SetPointerCursor(IDCUR_HAND));
    SendMessageA(withBitmaps, WM_SETCURSOR, reinterpret_cast<WPARAM>(withBitmaps.Hwnd()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    HCURSOR hand = GetCursor();
    SetCursor(nullptr);  // not in use when it goes
    withBitmaps.SetTipText("tip");
    MouseComes(withBitmaps);
    HWND tip = withBitmaps.ToolTip();
    ASSERT_EQ(0u, withIcons.LoadIconPair(IDI_HELP, ImageButton::GREY_COPY));
    HICON icons[] = {withIcons.Icon(0), withIcons.Icon(1)};

    DestroyWindow(bitmapWindow);
    DestroyWindow(iconWindow);
    for (HGDIOBJ gone : bitmaps) EXPECT_EQ(0u, GetObjectType(gone));
    for (HICON gone : icons) EXPECT_FALSE(IconExists(gone));
    EXPECT_FALSE(IconExists(hand));
    EXPECT_FALSE(IsWindow(tip)) << "the tooltip goes with its button, not only with the dialog";
}

TEST_F(ImageButtonTest, TakesOverAsOwnerDrawAndKeepsTheDefaultButtonRole) {
    HWND raw = MakeButton(m_host, "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 180, 4);
    ImageButton button;
    ASSERT_TRUE(button.Attach(raw));
    auto role = [](HWND h) { return SendMessageA(h, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON); };
    auto type = [](HWND h) { return GetWindowLongA(h, GWL_STYLE) & 0x1F; };
    EXPECT_EQ(BS_OWNERDRAW, type(m_button));
    EXPECT_EQ(DLGC_UNDEFPUSHBUTTON, role(m_button)) << "the pop-up's ordinary push button";

    struct Case {
        const char* what;
        bool setStyle;  // false: as taken over
        WPARAM style;
        LRESULT role;
    };
    const Case cases[] = {
        {"taken over from a default push button", false, 0, DLGC_DEFPUSHBUTTON},
        {"made an ordinary push button", true, BS_PUSHBUTTON, DLGC_UNDEFPUSHBUTTON},
        {"made the default again", true, BS_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON},
        {"another type keeps the role", true, BS_CHECKBOX, DLGC_DEFPUSHBUTTON},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.setStyle) SendMessageA(raw, BM_SETSTYLE, c.style, TRUE);
        EXPECT_EQ(BS_OWNERDRAW, type(raw));
        EXPECT_EQ(c.role, role(raw));
    }
}

// The main window's template with its eight buttons in the styles the
// program uses, saved as screenshots/image_buttons.png to be looked at.
TEST(ImageButtonLook, ScreenshotOfTheMainWindowButtons) {
    HostDialog host(IDD_MAIN);
    ASSERT_TRUE(host.Create(nullptr));
    SetWindowPos(host, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    struct Look {
        int id;
        int hoverImage, normalImage;  // bitmaps, or icons when `icon`
        bool icon;
        int placement;
    };
    const Look looks[] = {
        {IDC_BTN_INFO, IDB_PAGE_INFO_HOVER, IDB_PAGE_INFO, false, 1},
        {IDC_BTN_SHIELD, IDB_PAGE_SHIELD_HOVER, IDB_PAGE_SHIELD, false, 1},    // hovered
        {IDC_BTN_SCAN, IDI_USB_DRIVE, 0, true, 0},                             // icon left of the caption
        {IDC_BTN_MEMORY, IDB_PAGE_MEMORY_HOVER, IDB_PAGE_MEMORY, false, 1},    // disabled
        {IDC_BTN_QUARANTINE, IDB_PAGE_QUARANTINE_HOVER, 0, false, 1},          // pressed
        {IDC_BTN_TOOLS, IDI_HELP, ImageButton::GREY_COPY, true, 2},            // icon right, grey copy
        {IDC_BTN_REPAIR, IDI_AUTORUN_FILE, 0, true, 1},                        // disabled icon
        {IDC_BTN_STARTUP, IDB_PAGE_STARTUP_HOVER, IDB_PAGE_STARTUP, false, 1}, // focused
    };
    ImageButton buttons[8];
    for (int i = 0; i < 8; ++i) {
        const Look& look = looks[i];
        ASSERT_TRUE(buttons[i].SubclassDlgItem(look.id, host));
        DWORD loaded = look.icon ? buttons[i].LoadIconPair(look.hoverImage, look.normalImage)
                                 : buttons[i].LoadBitmapPair(look.hoverImage, kWhite, look.normalImage, kWhite);
        ASSERT_EQ(0u, loaded);
        ASSERT_EQ(0u, buttons[i].SetImagePlacement(look.placement));
        buttons[i].SetPointerCursor(IDCUR_HAND);
    }
    EnableWindow(host.Item(IDC_BTN_MEMORY), FALSE);
    EnableWindow(host.Item(IDC_BTN_REPAIR), FALSE);
    SendMessageA(host.Item(IDC_BTN_QUARANTINE), BM_SETSTATE, TRUE, 0);
    SetFocus(host.Item(IDC_BTN_STARTUP));
    EXPECT_TRUE(MoveMouseUntil(CentreOf(buttons[1]), [&] { return buttons[1].IsHovering(); }));
    vxtest::PumpFor(200);
    std::string path = vxtest::SaveScreenshot(host, "image_buttons");
    EXPECT_FALSE(path.empty());
    SetCursorPos(0, 0);
}

}  // namespace
