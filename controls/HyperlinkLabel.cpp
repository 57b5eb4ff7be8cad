#include "controls/HyperlinkLabel.h"

#include <commctrl.h>

#include <cstring>

#include "res/resource.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"
#include "ui/Strings.h"

namespace {

const UINT kToolId = 1;
const int kRegistryValueSize = 260;
// The hover repaint reaches below the control, where the underline of a
// larger font would end.
const int kRepaintBelow = 10;

struct OpenError {
    INT_PTR code;
    UINT text;
};
const OpenError kOpenErrors[] = {
    {0, IDS_LINK_ERROR_OUT_OF_MEMORY},
    {SE_ERR_FNF, IDS_LINK_ERROR_FILE_NOT_FOUND},
    {SE_ERR_PNF, IDS_LINK_ERROR_PATH_NOT_FOUND},
    {SE_ERR_ACCESSDENIED, IDS_LINK_ERROR_ACCESS_DENIED},
    {SE_ERR_OOM, IDS_LINK_ERROR_NOT_ENOUGH_MEMORY},
    {ERROR_BAD_FORMAT, IDS_LINK_ERROR_BAD_FORMAT},
    {SE_ERR_SHARE, IDS_LINK_ERROR_SHARE},
    {SE_ERR_ASSOCINCOMPLETE, IDS_LINK_ERROR_ASSOC_INCOMPLETE},
    {SE_ERR_DDETIMEOUT, IDS_LINK_ERROR_DDE_TIMEOUT},
    {SE_ERR_DDEFAIL, IDS_LINK_ERROR_DDE_FAIL},
    {SE_ERR_DDEBUSY, IDS_LINK_ERROR_DDE_BUSY},
    {SE_ERR_NOASSOC, IDS_LINK_ERROR_NO_ASSOC},
    {SE_ERR_DLLNOTFOUND, IDS_LINK_ERROR_DLL_NOT_FOUND},
};

// The default value of `subKey` under HKEY_CLASSES_ROOT; false when the key
// cannot be opened or has no readable default value.
bool ReadClassDefault(const std::string& subKey, std::string* value) {
    ui::ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key.Out()) != ERROR_SUCCESS)
        return false;
    char data[kRegistryValueSize] = {};
    DWORD size = sizeof data - 1;  // room for the zero a stored string may lack
    if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return false;
    *value = data;
    return true;
}

HFONT CopyFont(HFONT font, bool underline) {
    LOGFONTA description;
    if (!GetObjectA(font, sizeof description, &description)) return nullptr;
    description.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectA(&description);
}

}  // namespace

HyperlinkLabel::HyperlinkLabel() : Window(Binding::Procedure) {}

HyperlinkLabel::~HyperlinkLabel() {
    if (Hwnd()) {
        // The window may outlive this object for a moment: it must not keep
        // painting with fonts that are about to go.
        KillTimer(Hwnd(), m_nHoverTimerId);
        SendMessageA(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        if (m_tipCtrl && IsWindow(m_tipCtrl)) DestroyWindow(m_tipCtrl);
        m_tipCtrl = nullptr;
        Detach();
    }
    ReleaseResources();
}

bool HyperlinkLabel::SubclassDlgItem(int id, HWND parent) {
    return Attach(GetDlgItem(parent, id));
}

void HyperlinkLabel::OnAttached() {
    // Without the notify style a static control lets clicks and moves through.
    SetWindowLongA(Hwnd(), GWL_STYLE, GetWindowLongA(Hwnd(), GWL_STYLE) | SS_NOTIFY);
    int length = GetWindowTextLengthA(Hwnd());
    if (m_strTarget.empty()) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        GetWindowTextA(Hwnd(), &text[0], length + 1);
        text.resize(static_cast<size_t>(length));
        m_strTarget = text;
    } else if (length == 0) {
        SetWindowTextA(Hwnd(), m_strTarget.c_str());
    }
    BuildFonts();
    FitToText();
    // The hand pointer and the tooltip are made when the pointer first comes:
    // most labels are never pointed at before the program goes to the
    // notification area, and a tooltip is a window of its own.
}

void HyperlinkLabel::BuildFonts() {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(Hwnd(), WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    if (m_fontUnderlined) DeleteObject(m_fontUnderlined);
    if (m_fontPlain) DeleteObject(m_fontPlain);
    m_fontUnderlined = CopyFont(font, true);
    m_fontPlain = CopyFont(font, false);
}

void HyperlinkLabel::CreateToolTip() {
    if (m_tipCtrl || !Hwnd()) return;
    m_tipCtrl = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!m_tipCtrl) return;
    TOOLINFOA tool = ToolInfo();
    SendMessageA(m_tipCtrl, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The one tool: the whole client area, showing the target.
TOOLINFOA HyperlinkLabel::ToolInfo() const {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = Hwnd();
    tool.uId = kToolId;
    tool.lpszText = const_cast<char*>(m_strTarget.c_str());
    GetClientRect(Hwnd(), &tool.rect);
    return tool;
}

void HyperlinkLabel::UpdateTipText() {
    if (!m_tipCtrl) return;
    TOOLINFOA tool = ToolInfo();
    SendMessageA(m_tipCtrl, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    // The control may have changed its size with the text.
    SendMessageA(m_tipCtrl, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperlinkLabel::SetTarget(const std::string& target) {
    m_strTarget = target;
    if (!Hwnd()) return;
    FitToText();
    UpdateTipText();
}

void HyperlinkLabel::SetVisited(bool visited) {
    m_bVisited = visited;
    ui::InvalidateShown(Hwnd());
}

void HyperlinkLabel::SetLabelFont(HFONT font) {
    if (font) SendMessageA(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void HyperlinkLabel::SetUnderlineMode(int mode) {
    if (mode == m_nUnderlineMode) return;
    if (Hwnd()) {
        SetLabelFont(mode == UNDERLINE_ALWAYS ? m_fontUnderlined : m_fontPlain);
        ui::InvalidateShown(Hwnd());
    }
    m_nUnderlineMode = mode;
}

COLORREF HyperlinkLabel::TextColour() const {
    return m_bOverLink ? m_crHover : m_bVisited ? m_crVisited : m_crLink;
}

void HyperlinkLabel::FitToText() {
    if (!Hwnd() || !m_bFitToText) return;
    HWND parent = GetParent(Hwnd());
    RECT window, client;
    GetWindowRect(Hwnd(), &window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    GetClientRect(Hwnd(), &client);
    MapWindowPoints(Hwnd(), parent, reinterpret_cast<POINT*>(&client), 2);

    int length = GetWindowTextLengthA(Hwnd());
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(Hwnd(), &text[0], length + 1);
    SIZE extent = {};
    {
        // A memory DC measures text as the screen does, without the look at
        // the display that a window's DC costs.
        ui::ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
        ui::ScopedSelect select(dc, m_fontUnderlined ? static_cast<HGDIOBJ>(m_fontUnderlined)
                                                     : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32A(dc, text.c_str(), length, &extent);
    }
    LONG neededHeight = extent.cy + (window.bottom - window.top) - (client.bottom - client.top);
    LONG neededWidth = extent.cx + (window.right - window.left) - (client.right - client.left);

    LONG style = GetWindowLongA(Hwnd(), GWL_STYLE);
    if (style & SS_CENTERIMAGE) {
        window.top += ((window.bottom - window.top) - neededHeight) / 2;
        window.bottom = window.top + neededHeight;
    } else {
        window.bottom = window.top + neededHeight;
    }
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        window.left += ((window.right - window.left) - neededWidth) / 2;
        window.right = window.left + neededWidth;
        break;
    case SS_RIGHT:
        window.left = window.right - neededWidth;
        break;
    default:
        window.right = window.left + neededWidth;
        break;
    }
    SetWindowPos(Hwnd(), nullptr, window.left, window.top, window.right - window.left, window.bottom - window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void HyperlinkLabel::LoadLinkCursor() {
    if (m_hLinkCursor) return;
    char path[MAX_PATH + 16] = {};
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        lstrcatA(path, "\\winhlp32.exe");
        // Only its resources are wanted, so no code of it is made ready to run.
        ui::ScopedModule help(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (help) {
            HCURSOR hand = LoadCursorA(help, MAKEINTRESOURCEA(106));
            if (hand) m_hLinkCursor = CopyCursor(hand);
        }
    }
    // Current Windows has no such cursor there: the system's own hand, so
    // that a link looks like a link everywhere.
    if (!m_hLinkCursor) {
        HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
        if (hand) m_hLinkCursor = CopyCursor(hand);
    }
}

INT_PTR HyperlinkLabel::OpenTarget(const std::string& target, int show) {
    INT_PTR result = ui::ShellOpen(target.c_str(), show);
    if (result > 32) return result;

    // The shell could not: the command registered for web pages.
    std::string pageClass, command;
    if (!ReadClassDefault(".htm", &pageClass)) return result;
    if (!ReadClassDefault(pageClass + "\\shell\\open\\command", &command)) return result;
    size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) cut = command.find("%1");
    if (cut != std::string::npos) command.erase(cut);
    command += " " + target;
    return static_cast<INT_PTR>(WinExec(command.c_str(), static_cast<UINT>(show)));
}

std::string HyperlinkLabel::OpenErrorText(INT_PTR code) {
    std::string text = ui::LoadString(IDS_LINK_OPEN_FAILED);
    for (const OpenError& error : kOpenErrors)
        if (error.code == code) return text + ui::LoadString(error.text);
    char unknown[128];
    wsprintfA(unknown, ui::LoadString(IDS_LINK_ERROR_UNKNOWN).c_str(), static_cast<int>(code));
    return text + unknown;
}

void HyperlinkLabel::ReportOpenError(INT_PTR code) {
    ui::ShowMessage(OpenErrorText(code), MB_ICONEXCLAMATION | MB_OK);
}

void HyperlinkLabel::OnMouseMove() {
    if (m_bOverLink) return;
    m_bOverLink = true;
    if (m_nUnderlineMode == UNDERLINE_HOVER) SetLabelFont(m_fontUnderlined);
    InvalidateRect(Hwnd(), nullptr, TRUE);
    SetTimer(Hwnd(), m_nHoverTimerId, HOVER_CHECK_MS, nullptr);
}

void HyperlinkLabel::OnHoverTimer() {
    DWORD position = GetMessagePos();
    POINT point = {static_cast<SHORT>(LOWORD(position)), static_cast<SHORT>(HIWORD(position))};
    ScreenToClient(Hwnd(), &point);
    RECT client;
    GetClientRect(Hwnd(), &client);
    if (PtInRect(&client, point)) return;
    m_bOverLink = false;
    KillTimer(Hwnd(), m_nHoverTimerId);
    if (m_nUnderlineMode != UNDERLINE_ALWAYS) SetLabelFont(m_fontPlain);
    client.bottom += kRepaintBelow;
    InvalidateRect(Hwnd(), &client, TRUE);
}

void HyperlinkLabel::OnClicked() {
    m_bOverLink = false;
    INT_PTR result = OpenTarget(m_strTarget, SW_SHOW);
    m_bVisited = result > 32;
    if (m_bVisited) {
        SetVisited(true);
    } else {
        MessageBeep(MB_ICONEXCLAMATION);
        ReportOpenError(result);
    }
}

LRESULT HyperlinkLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(Hwnd(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_SETCURSOR:
        LoadLinkCursor();
        if (!m_hLinkCursor) return FALSE;
        SetCursor(m_hLinkCursor);
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove();
        return Default();
    case WM_TIMER:
        if (wParam == m_nHoverTimerId) OnHoverTimer();
        return Default();
    case WM_DESTROY:
        KillTimer(Hwnd(), m_nHoverTimerId);
        break;
    }
    return Window::WindowProc(msg, wParam, lParam);
}

bool HyperlinkLabel::OnReflect(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
    if (msg == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, TextColour());
        SetBkMode(dc, TRANSPARENT);
        *result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        OnClicked();
        *result = 0;
        return true;
    }
    return false;
}

bool HyperlinkLabel::PreTranslateMessage(MSG* msg) {
    if ((msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST) || msg->message == WM_MOUSELEAVE)
        CreateToolTip();
    if (m_tipCtrl) SendMessageA(m_tipCtrl, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return false;
}

void HyperlinkLabel::OnFinalDestroy() {
    // The tooltip is owned by the dialog (a pop-up's owner is top-level), so
    // it goes here with its label.
    if (m_tipCtrl && IsWindow(m_tipCtrl)) DestroyWindow(m_tipCtrl);
    m_tipCtrl = nullptr;
    m_bOverLink = false;
    ReleaseResources();
}

void HyperlinkLabel::ReleaseResources() {
    if (m_fontUnderlined) DeleteObject(m_fontUnderlined);
    if (m_fontPlain) DeleteObject(m_fontPlain);
    if (m_hLinkCursor) DestroyCursor(m_hLinkCursor);
    m_fontUnderlined = m_fontPlain = nullptr;
    m_hLinkCursor = nullptr;
}
