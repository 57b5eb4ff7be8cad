#include "controls/ImageButton.h"

#include <windowsx.h>

#include <cstring>
#include <vector>

#include "ui/Guards.h"

namespace {

const int kMargin = 3;
const UINT kToolId = 1;
const int kTipWidth = 400;  // wide enough, and texts with CR LF wrap onto several lines
const LONG kTypeBits = 0x1F;

// Pointers are loaded once per resource and shared by every button that
// shows them (all on the UI thread); the last button to let one go
// destroys it.
struct SharedPointer {
    int id;
    HCURSOR cursor;
    int users;
};
SharedPointer g_pointers[8];

HCURSOR AcquirePointer(int id) {
    for (SharedPointer& shared : g_pointers)
        if (shared.users > 0 && shared.id == id) {
            ++shared.users;
            return shared.cursor;
        }
    HCURSOR cursor =
        static_cast<HCURSOR>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, 0));
    if (!cursor) return nullptr;
    for (SharedPointer& shared : g_pointers)
        if (shared.users == 0) {
            shared = {id, cursor, 1};
            return cursor;
        }
    return cursor;  // no room to share: a private copy
}

void ReleasePointer(HCURSOR cursor) {
    if (!cursor) return;
    for (SharedPointer& shared : g_pointers)
        if (shared.users > 0 && shared.cursor == cursor) {
            if (--shared.users == 0) DestroyCursor(cursor);
            return;
        }
    DestroyCursor(cursor);
}

// Pictures loaded from resources are shared in the same way: one bitmap and
// one mask per resource and transparent colour (the mask's making blackens
// the bitmap's transparent pixels), whichever buttons show them; only
// drawing reads them afterwards.
struct SharedPicture {
    int id;
    COLORREF transparent;
    HBITMAP bitmap;
    HBITMAP mask;
    DWORD width;
    DWORD height;
    int users;
};
SharedPicture g_pictures[32];

bool IsMouseMessage(UINT msg) {
    return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_MOUSELEAVE;
}

}  // namespace

ImageButton::ImageButton() : Window(Binding::Procedure) {
    ResetColors(false);
}

ImageButton::~ImageButton() {
    if (m_tipCtrl) DestroyWindow(m_tipCtrl);
    ReleaseImages(true);
    ReleasePointer(m_hPointer);
}

bool ImageButton::SubclassDlgItem(int id, HWND parent) {
    return Attach(GetDlgItem(parent, id));
}

void ImageButton::OnAttached() {
    LONG style = GetWindowLongA(Hwnd(), GWL_STYLE);
    m_bDefaultButton = (style & kTypeBits) == BS_DEFPUSHBUTTON;
    SetWindowLongA(Hwnd(), GWL_STYLE, (style & ~kTypeBits) | BS_OWNERDRAW);
    SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ImageButton::OnFinalDestroy() {
    // A pop-up's owner is always a top-level window, so the tooltip belongs to
    // the dialog: it must go with the button here, or it would outlive it.
    // When the whole dialog goes, its owned windows are already gone.
    if (m_tipCtrl && IsWindow(m_tipCtrl)) DestroyWindow(m_tipCtrl);
    m_tipCtrl = nullptr;
    m_bMouseOver = false;
    ReleaseImages(true);
    ReleasePointer(m_hPointer);
    m_hPointer = nullptr;
}

void ImageButton::Repaint(bool repaint) {
    if (repaint) ui::InvalidateShown(Hwnd());
}

void ImageButton::ReleaseImages(bool destroy) {
    for (IconEntry& entry : m_iconPair) {
        if (destroy && entry.icon) DestroyIcon(entry.icon);
        entry = {};
    }
    for (BitmapEntry* entry : {&m_bitmapPair[0], &m_bitmapPair[1], &m_setAsideNormal}) {
        if (destroy) ReleasePicture(*entry);
        *entry = {};
    }
}

bool ImageButton::LoadPictureWithMask(int id, COLORREF transparent, BitmapEntry* entry) {
    // A plain 24- or 32-bit bitmap resource becomes a DIB section of its own
    // pixels, and its mask is made from them in memory. Making them through
    // device contexts costs several looks at the display per picture (each a
    // few wineserver round trips under Wine), and the main window alone shows
    // sixteen pictures. Any other kind of resource is left to LoadImage.
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biPlanes != 1 ||
        header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biWidth <= 0 || header.biWidth > 4096 || header.biHeight == 0 || header.biHeight > 4096 ||
        header.biHeight < -4096 || header.biClrUsed > 256)
        return false;
    const int width = header.biWidth, height = header.biHeight > 0 ? header.biHeight : -header.biHeight;
    const bool bottomUp = header.biHeight > 0;
    const size_t bytesPerPixel = header.biBitCount / 8;
    const size_t stride = (static_cast<size_t>(width) * header.biBitCount + 31) / 32 * 4;
    const size_t offset = header.biSize + header.biClrUsed * sizeof(RGBQUAD);
    if (offset > size || stride * static_cast<size_t>(height) > size - offset) return false;

    BITMAPINFO info = {};
    info.bmiHeader = header;
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biClrUsed = 0;
    info.bmiHeader.biSizeImage = 0;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    BYTE* pixels = static_cast<BYTE*>(bits);
    memcpy(pixels, data + offset, stride * static_cast<size_t>(height));

    // Monochrome rows as CreateBitmap takes them: top row first, each padded
    // to whole 16-bit words, the leftmost pixel in the highest bit. Pixels of
    // the transparent colour are 1 in the mask and black in the picture, as
    // CreateMask makes them.
    const size_t maskStride = (static_cast<size_t>(width) + 15) / 16 * 2;
    std::vector<BYTE> maskBits(maskStride * static_cast<size_t>(height), 0);
    const BYTE red = GetRValue(transparent), green = GetGValue(transparent), blue = GetBValue(transparent);
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        BYTE* maskRow = maskBits.data() + maskStride * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x) {
            BYTE* pixel = row + bytesPerPixel * static_cast<size_t>(x);  // blue, green, red
            if (pixel[0] != blue || pixel[1] != green || pixel[2] != red) continue;
            maskRow[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            pixel[0] = pixel[1] = pixel[2] = 0;
        }
    }
    HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
    if (!mask) {
        DeleteObject(bitmap);
        return false;
    }
    *entry = {bitmap, static_cast<DWORD>(width), static_cast<DWORD>(height), mask, transparent, false};
    return true;
}

DWORD ImageButton::AcquirePicture(int id, COLORREF transparent, BitmapEntry* entry) {
    *entry = {};
    for (SharedPicture& shared : g_pictures)
        if (shared.users > 0 && shared.id == id && shared.transparent == transparent) {
            ++shared.users;
            *entry = {shared.bitmap, shared.width, shared.height, shared.mask, transparent, true};
            return 0;
        }
    if (!LoadPictureWithMask(id, transparent, entry)) {
        // Any other kind of bitmap, as a DIB section all the same.
        HBITMAP bitmap = static_cast<HBITMAP>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!bitmap) return 0;
        DWORD result = MaskedEntry(bitmap, transparent, entry);
        if (result != 0) {
            DeleteObject(bitmap);
            return result;
        }
    }
    for (SharedPicture& shared : g_pictures)
        if (shared.users == 0) {
            shared = {id, transparent, entry->bitmap, entry->mask, entry->width, entry->height, 1};
            entry->shared = true;
            break;
        }
    return 0;  // with no room to share: a private copy
}

DWORD ImageButton::MaskedEntry(HBITMAP bitmap, COLORREF transparent, BitmapEntry* entry) {
    BITMAP info;
    // GetObject also answers for brushes, pens and fonts: only a bitmap has a size.
    if (GetObjectType(bitmap) != OBJ_BITMAP || GetObjectA(bitmap, sizeof info, &info) != sizeof info) return 1;
    DWORD width = static_cast<DWORD>(info.bmWidth), height = static_cast<DWORD>(info.bmHeight);
    HBITMAP mask = CreateMask(bitmap, width, height, transparent);
    if (!mask) return 2;
    *entry = {bitmap, width, height, mask, transparent, false};
    return 0;
}

void ImageButton::ReleasePicture(const BitmapEntry& entry) {
    if (entry.shared) {
        for (SharedPicture& shared : g_pictures)
            if (shared.users > 0 && shared.bitmap == entry.bitmap) {
                if (--shared.users > 0) return;
                shared = {};
                break;
            }
    }
    if (entry.bitmap) DeleteObject(entry.bitmap);
    if (entry.mask) DeleteObject(entry.mask);
}

void ImageButton::ShowNormalBitmap(bool show, bool repaint) {
    BitmapEntry& from = show ? m_setAsideNormal : m_bitmapPair[1];
    BitmapEntry& to = show ? m_bitmapPair[1] : m_setAsideNormal;
    if (!from.bitmap || to.bitmap) return;
    to = from;
    from = {};
    Repaint(repaint);
}

DWORD ImageButton::LoadIconPair(int hoverIconId, INT_PTR normalIconId) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    // Not shared: the button owns and destroys its icons.
    // The system's icon size and colours.
    const UINT flags = LR_DEFAULTSIZE | LR_DEFAULTCOLOR;
    HICON hover = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(hoverIconId), IMAGE_ICON, 0, 0, flags));
    HICON normal = nullptr;
    if (normalIconId > 0)
        normal = static_cast<HICON>(
            LoadImageA(module, MAKEINTRESOURCEA(static_cast<int>(normalIconId)), IMAGE_ICON, 0, 0, flags));
    return SetIconPair(hover, normal, normalIconId == GREY_COPY);
}

DWORD ImageButton::SetIconPair(HICON hoverIcon, HICON normalIcon, bool makeGreyNormal) {
    ReleaseImages(true);
    if (!hoverIcon) {
        if (normalIcon) DestroyIcon(normalIcon);
        Repaint(true);
        return 0;
    }
    HICON icons[2] = {hoverIcon, makeGreyNormal ? CreateGreyIcon(hoverIcon) : normalIcon};
    if (makeGreyNormal && normalIcon) DestroyIcon(normalIcon);
    for (int i = 0; i < 2; ++i) {
        if (!icons[i]) continue;
        ICONINFO info;
        if (!GetIconInfo(icons[i], &info)) {
            m_iconPair[0].icon = icons[0];
            m_iconPair[1].icon = icons[1];
            ReleaseImages(true);
            return 1;
        }
        m_iconPair[i] = {icons[i], info.xHotspot * 2, info.yHotspot * 2};
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    Repaint(true);
    return 0;
}

HICON ImageButton::CreateGreyIcon(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return nullptr;
    ui::ScopedBitmap colour(info.hbmColor), mask(info.hbmMask);
    int width = static_cast<int>(info.xHotspot * 2), height = static_cast<int>(info.yHotspot * 2);
    if (!colour || width <= 0 || height <= 0) return nullptr;

    ui::ScopedWindowDc screen(nullptr);
    ui::ScopedMemoryDc source(CreateCompatibleDC(screen)), target(CreateCompatibleDC(screen));
    ui::ScopedBitmap grey(CreateCompatibleBitmap(screen, width, height));
    if (!source || !target || !grey) return nullptr;
    {
        ui::ScopedSelect selectSource(source, colour);
        ui::ScopedSelect selectTarget(target, grey);
        BitBlt(target, 0, 0, width, height, source, 0, 0, SRCCOPY);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                COLORREF pixel = GetPixel(target, x, y);
                if ((pixel & 0xFFFFFF) == 0) continue;  // black stays black
                // Integer weights, exact: in floating point a grey such as
                // 128 came out one step darker.
                BYTE luminance = static_cast<BYTE>(
                    (299 * GetRValue(pixel) + 587 * GetGValue(pixel) + 114 * GetBValue(pixel)) / 1000);
                SetPixel(target, x, y, RGB(luminance, luminance, luminance));
            }
        }
    }
    ICONINFO greyInfo = info;
    greyInfo.fIcon = TRUE;
    greyInfo.hbmColor = grey;
    greyInfo.hbmMask = mask;  // the hover icon's own mask
    return CreateIconIndirect(&greyInfo);
}

DWORD ImageButton::LoadBitmapPair(int hoverBitmapId, COLORREF hoverTransparent, int normalBitmapId,
                                  COLORREF normalTransparent) {
    // As SetBitmapPair with the two loaded bitmaps, but each picture is
    // loaded and masked once for all buttons. The new pictures are taken
    // before the old ones go, so that reloading the same ones costs nothing.
    BitmapEntry pair[2] = {};
    DWORD result = hoverBitmapId ? AcquirePicture(hoverBitmapId, hoverTransparent, &pair[0]) : 0;
    if (result == 0 && pair[0].bitmap && normalBitmapId)
        result = AcquirePicture(normalBitmapId, normalTransparent, &pair[1]);
    ReleaseImages(true);
    if (result != 0 || !pair[0].bitmap) {
        // No hover picture: no images at all, as when SetBitmapPair is given none.
        for (const BitmapEntry& entry : pair) ReleasePicture(entry);
        if (result == 0) Repaint(true);
        return result;
    }
    m_bitmapPair[0] = pair[0];
    m_bitmapPair[1] = pair[1];
    Repaint(true);
    return 0;
}

DWORD ImageButton::SetBitmapPair(HBITMAP hoverBitmap, COLORREF hoverTransparent, HBITMAP normalBitmap,
                                 COLORREF normalTransparent) {
    ReleaseImages(true);
    if (!hoverBitmap) {
        if (normalBitmap) DeleteObject(normalBitmap);
        Repaint(true);
        return 0;
    }
    HBITMAP bitmaps[2] = {hoverBitmap, normalBitmap};
    COLORREF transparent[2] = {hoverTransparent, normalTransparent};
    // Owned from here on, so that a failure below releases both.
    m_bitmapPair[0].bitmap = hoverBitmap;
    m_bitmapPair[1].bitmap = normalBitmap;
    for (int i = 0; i < 2; ++i) {
        if (!bitmaps[i]) continue;
        DWORD result = MaskedEntry(bitmaps[i], transparent[i], &m_bitmapPair[i]);
        if (result != 0) {
            ReleaseImages(true);
            return result;
        }
    }
    Repaint(true);
    return 0;
}

HBITMAP ImageButton::CreateMask(HBITMAP bitmap, DWORD width, DWORD height, COLORREF transparent) {
    HBITMAP mask = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, nullptr);
    if (!mask) return nullptr;
    // Memory DCs need no look at the screen's own DC: null makes them
    // compatible with it, without a GetDC and ReleaseDC per picture.
    ui::ScopedMemoryDc colourDc(CreateCompatibleDC(nullptr)), maskDc(CreateCompatibleDC(nullptr));
    if (!colourDc || !maskDc) {
        DeleteObject(mask);
        return nullptr;
    }
    ui::ScopedSelect selectColour(colourDc, bitmap);
    // A bitmap still selected into another DC cannot be selected here, and
    // then its pixels cannot be read.
    if (GetCurrentObject(colourDc, OBJ_BITMAP) != bitmap) {
        DeleteObject(mask);
        return nullptr;
    }
    ui::ScopedSelect selectMask(maskDc, mask);
    // Colour to monochrome: pixels of the background colour become 1.
    SetBkColor(colourDc, transparent);
    BitBlt(maskDc, 0, 0, static_cast<int>(width), static_cast<int>(height), colourDc, 0, 0, SRCCOPY);
    // Then the transparent pixels of the bitmap turn black, so that
    // mask (AND) followed by bitmap (OR) shows the background through.
    SetBkColor(colourDc, RGB(0, 0, 0));
    SetTextColor(colourDc, RGB(255, 255, 255));
    BitBlt(colourDc, 0, 0, static_cast<int>(width), static_cast<int>(height), maskDc, 0, 0, SRCAND);
    return mask;
}

DWORD ImageButton::SetImagePlacement(int placement, bool repaint) {
    if (placement < 0 || placement > 2) return 4;
    m_nImagePlacement = static_cast<BYTE>(placement);
    Repaint(repaint);
    return 0;
}

DWORD ImageButton::EnableHoverFrame(bool enable, bool repaint) {
    m_bHoverFrame = enable;
    Repaint(repaint);
    return 0;
}

DWORD ImageButton::SetPointerCursor(int cursorId, bool repaint) {
    ReleasePointer(m_hPointer);
    m_hPointer = nullptr;
    DWORD result = 0;
    if (cursorId) {
        m_hPointer = AcquirePointer(cursorId);
        if (!m_hPointer) result = 1;
    }
    Repaint(repaint);
    return result;
}

void ImageButton::ResetColors(bool repaint) {
    for (int state = 0; state < COLOR_COUNT; state += 2) {
        m_colors[state] = GetSysColor(COLOR_BTNFACE);
        m_colors[state + 1] = GetSysColor(COLOR_BTNTEXT);
    }
    Repaint(repaint);
}

void ImageButton::CreateToolTip() {
    if (m_tipCtrl || !Hwnd()) return;
    m_tipCtrl = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!m_tipCtrl) return;
    SendMessageA(m_tipCtrl, TTM_ACTIVATE, FALSE, 0);
    SendMessageA(m_tipCtrl, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    if (!m_tipText.empty()) AddTool(m_tipText.c_str(), m_tipActive);
    m_tipText.clear();
}

void ImageButton::SetTipText(const char* text, bool activate) {
    if (!text) return;
    if (!m_tipCtrl) {
        // No window for it until the mouse first comes: most buttons are
        // never pointed at before the program goes to the notification area.
        m_tipText = text;
        m_tipActive = activate;
        return;
    }
    AddTool(text, activate);
}

void ImageButton::AddTool(const char* text, bool activate) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = Hwnd();
    tool.uId = kToolId;
    if (!SendMessageA(m_tipCtrl, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) {
        tool.uFlags = 0;
        tool.hinst = nullptr;
        tool.lpszText = const_cast<char*>(text);
        GetClientRect(Hwnd(), &tool.rect);
        SendMessageA(m_tipCtrl, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(m_tipCtrl, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(m_tipCtrl, TTM_ACTIVATE, activate, 0);
}

bool ImageButton::PreTranslateMessage(MSG* msg) {
    if (IsMouseMessage(msg->message)) CreateToolTip();
    if (m_tipCtrl) SendMessageA(m_tipCtrl, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return false;
}

void ImageButton::TrackHover(WPARAM keys, LPARAM position) {
    POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ClientToScreen(Hwnd(), &point);
    HWND under = WindowFromPoint(point);
    // A press that started elsewhere must not light the button up.
    if (((keys & MK_LBUTTON) && !m_bMouseOver) || !m_bFlatStyle) return;
    HWND owner = m_bTrackWhenInactive ? Hwnd() : GetActiveWindow();
    if (under == Hwnd() && owner) {
        if (m_bMouseOver) return;
        m_bMouseOver = true;
        Repaint(true);
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, Hwnd(), 0};
        TrackMouseEvent(&track);
    } else {
        EndHover();
    }
}

void ImageButton::EndHover() {
    if (!m_bMouseOver) return;
    m_bMouseOver = false;
    Repaint(true);
}

LRESULT ImageButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        return Default() | (m_bDefaultButton ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE: {
        LONG type = static_cast<LONG>(wParam) & kTypeBits;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) m_bDefaultButton = type == BS_DEFPUSHBUTTON;
        WPARAM ownerDraw = (wParam & ~static_cast<WPARAM>(kTypeBits)) | BS_OWNERDRAW;
        return DefaultWith(msg, ownerDraw, lParam);
    }
    case WM_SETCURSOR:
        if (m_hPointer) {
            SetCursor(m_hPointer);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE: {
        LRESULT result = Default();
        TrackHover(wParam, lParam);
        return result;
    }
    case WM_KILLFOCUS:
        // Disabling a focused window takes its focus to nowhere before
        // WM_ENABLE arrives; remember that it was ours.
        m_bLostFocusToDisable = !IsWindowEnabled(Hwnd()) && !wParam;
        {
            LRESULT result = Default();
            EndHover();
            return result;
        }
    case WM_MOUSELEAVE:
    case WM_CANCELMODE: {
        LRESULT result = Default();
        EndHover();
        return result;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) EndHover();
        break;
    case WM_ENABLE:
        // The button control would paint itself at once; it is drawn with the
        // next paint instead, so that a window that changes many controls in
        // one go draws each of them once, after the changes.
        ui::InvalidateShown(Hwnd());
        if (!wParam) {
            // Focus on a disabled button would leave the keyboard stuck, so it
            // moves on; a button that did not have it takes nobody's focus.
            bool hadFocus = m_bLostFocusToDisable || GetFocus() == Hwnd();
            m_bLostFocusToDisable = false;
            if (hadFocus) {
                HWND parent = GetParent(Hwnd());
                HWND next = GetNextDlgTabItem(parent, Hwnd(), FALSE);
                SetFocus(next && next != Hwnd() ? next : parent);
            }
            EndHover();
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        // A quick second click is a second click.
        return DefaultWith(WM_LBUTTONDOWN, wParam, lParam);
    }
    return Window::WindowProc(msg, wParam, lParam);
}

bool ImageButton::OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (msg == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    }
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        *result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) SetFocus(Hwnd());
    return false;  // the parent handles the click too
}

void ImageButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    m_bDrawPressed = (item.itemState & ODS_SELECTED) != 0;
    m_bDrawFocused = (item.itemState & ODS_FOCUS) != 0;
    m_bDrawDisabled = (item.itemState & ODS_DISABLED) != 0;
    RECT itemRect = item.rcItem;
    SetBkMode(dc, TRANSPARENT);

    COLORREF background = (m_bMouseOver || m_bDrawPressed) ? m_colors[COLOR_HOVER_BG]
                          : m_bDrawFocused                 ? m_colors[COLOR_FOCUS_BG]
                                                           : m_colors[COLOR_NORMAL_BG];
    ui::ScopedBrush brush(CreateSolidBrush(background));
    FillRect(dc, &itemRect, brush);

    if (m_bHoverFrame && (m_bDrawPressed || m_bMouseOver)) {
        COLORREF light = GetSysColor(COLOR_BTNHILIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
        if (m_bDrawPressed)
            Draw3dRectangle(dc, itemRect, dark, light);
        else
            Draw3dRectangle(dc, itemRect, light, dark);
    }

    char title[512] = {};
    GetWindowTextA(Hwnd(), title, sizeof title);
    RECT titleRect = itemRect;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(Hwnd(), WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    DrawImage(dc, title[0] != '\0', itemRect, &titleRect);
    if (title[0]) DrawTitle(dc, title, &titleRect);
    if (oldFont) SelectObject(dc, oldFont);
}

void ImageButton::Draw3dRectangle(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    ui::ScopedBrush first(CreateSolidBrush(topLeft)), second(CreateSolidBrush(bottomRight));
    RECT edge = {r.left, r.top, r.right - 1, r.top + 1};
    FillRect(dc, &edge, first);
    edge = {r.left, r.top, r.left + 1, r.bottom - 1};
    FillRect(dc, &edge, first);
    edge = {r.left, r.bottom - 1, r.right, r.bottom};
    FillRect(dc, &edge, second);
    edge = {r.right - 1, r.top, r.right, r.bottom};
    FillRect(dc, &edge, second);
}

void ImageButton::PrepareImageRect(bool hasTitle, const RECT& itemRect, RECT* titleRect, DWORD width,
                                   DWORD height, RECT* imageRect) const {
    LONG w = static_cast<LONG>(width), h = static_cast<LONG>(height);
    LONG itemWidth = itemRect.right - itemRect.left, itemHeight = itemRect.bottom - itemRect.top;
    LONG left = itemRect.left + (itemWidth - w) / 2;
    LONG top = itemRect.top + (itemHeight - h) / 2;  // centred both ways unless placed below
    switch (m_nImagePlacement) {
    case 0:  // left of the caption
        if (hasTitle) {
            left = itemRect.left + kMargin;
            titleRect->left += w + kMargin;
        }
        break;
    case 1:  // above the caption
        if (hasTitle) {
            top = itemRect.top + kMargin;
            titleRect->top += h;
        }
        break;
    case 2: {  // right of the caption
        if (hasTitle) {
            RECT client;
            GetClientRect(Hwnd(), &client);
            left = client.right - w - kMargin;
            LONG oldLeft = titleRect->left;
            titleRect->left = kMargin;
            titleRect->right -= oldLeft + w + kMargin;
        } else {
            top = itemRect.top + kMargin;
        }
        break;
    }
    }
    if (m_bDrawPressed) {
        ++left;
        ++top;
    }
    *imageRect = {left, top, left + w, top + h};
}

void ImageButton::DrawImage(HDC dc, bool hasTitle, const RECT& itemRect, RECT* titleRect) {
    // The hover image while hovered or pressed; otherwise the normal one when there is one.
    bool hot = m_bMouseOver || m_bDrawPressed;
    if (m_iconPair[0].icon) {
        const IconEntry& icon = (!hot && m_iconPair[1].icon) ? m_iconPair[1] : m_iconPair[0];
        RECT r;
        PrepareImageRect(hasTitle, itemRect, titleRect, icon.width, icon.height, &r);
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.icon), 0, r.left, r.top,
                   r.right - r.left, r.bottom - r.top,
                   DST_ICON | (m_bDrawDisabled ? DSS_DISABLED : DSS_NORMAL));
        return;
    }
    if (!m_bitmapPair[0].bitmap) return;
    const BitmapEntry& image = (!hot && m_bitmapPair[1].bitmap) ? m_bitmapPair[1] : m_bitmapPair[0];
    RECT r;
    PrepareImageRect(hasTitle, itemRect, titleRect, image.width, image.height, &r);
    int w = static_cast<int>(image.width), h = static_cast<int>(image.height);

    ui::ScopedMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    if (m_bDrawDisabled && m_bEmbossWhenDisabled) {
        // The image over a plain background, then drawn embossed.
        ui::ScopedBitmap composed(CreateCompatibleBitmap(dc, w, h));
        ui::ScopedMemoryDc target(CreateCompatibleDC(dc));
        if (!composed || !target) return;
        {
            ui::ScopedSelect selectTarget(target, composed);
            RECT all = {0, 0, w, h};
            ui::ScopedBrush white(CreateSolidBrush(RGB(255, 255, 255)));
            FillRect(target, &all, white);
            SetBkColor(target, RGB(255, 255, 255));
            SetTextColor(target, RGB(0, 0, 0));
            {
                ui::ScopedSelect selectMask(source, image.mask);
                BitBlt(target, 0, 0, w, h, source, 0, 0, SRCAND);
            }
            ui::ScopedSelect selectImage(source, image.bitmap);
            BitBlt(target, 0, 0, w, h, source, 0, 0, SRCPAINT);
        }
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(composed.Get()), 0, r.left, r.top, w, h,
                   DST_BITMAP | DSS_DISABLED);
        return;
    }
    COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    {
        ui::ScopedSelect selectMask(source, image.mask);
        BitBlt(dc, r.left, r.top, w, h, source, 0, 0, SRCAND);
    }
    {
        ui::ScopedSelect selectImage(source, image.bitmap);
        BitBlt(dc, r.left, r.top, w, h, source, 0, 0, SRCPAINT);
    }
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
}

void ImageButton::DrawTitle(HDC dc, const char* title, RECT* titleRect) {
    if (m_bDrawPressed) OffsetRect(titleRect, 1, 1);
    // Measure the wrapped text, then centre the block in the rectangle.
    RECT measured = *titleRect;
    DrawTextA(dc, title, -1, &measured, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    RECT centred = measured;
    OffsetRect(&centred, ((titleRect->right - titleRect->left) - (measured.right - measured.left)) / 2,
               ((titleRect->bottom - titleRect->top) - (measured.bottom - measured.top)) / 2);
    if (m_bDrawDisabled) {
        OffsetRect(&centred, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextA(dc, title, -1, &centred, DT_WORDBREAK | DT_CENTER);
        OffsetRect(&centred, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
        DrawTextA(dc, title, -1, &centred, DT_WORDBREAK | DT_CENTER);
        return;
    }
    bool hot = m_bMouseOver || m_bDrawPressed;
    SetTextColor(dc, hot ? m_colors[COLOR_HOVER_TEXT] : m_colors[COLOR_NORMAL_TEXT]);
    DrawTextA(dc, title, -1, &centred, DT_WORDBREAK | DT_CENTER);
}
