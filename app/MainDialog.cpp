#include "app/MainDialog.h"

#include <dbt.h>

#include <algorithm>
#include <vector>

#include "app/TrayIcon.h"
#include "ui/App.h"
#include "ui/Controls.h"
#include "ui/Dpi.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "ui/SystemLibrary.h"
#include "usb/DriveInventory.h"

HWND g_hMainWnd = nullptr;
MainDialog* g_pMainDialog = nullptr;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

struct PageEntry {
    int button;
    int hoverImage;
    int normalImage;
    UINT tooltip;
};

// Indexed by page number - 1.
const PageEntry kPages[8] = {
    {IDC_BTN_INFO, IDB_PAGE_INFO_HOVER, IDB_PAGE_INFO, IDS_TIP_INFO},
    {IDC_BTN_SHIELD, IDB_PAGE_SHIELD_HOVER, IDB_PAGE_SHIELD, IDS_TIP_SHIELD},
    {IDC_BTN_SCAN, IDB_PAGE_SCAN_HOVER, IDB_PAGE_SCAN, IDS_TIP_SCAN},
    {IDC_BTN_TOOLS, IDB_PAGE_TOOLS_HOVER, IDB_PAGE_TOOLS, IDS_TIP_TOOLS},
    {IDC_BTN_MEMORY, IDB_PAGE_MEMORY_HOVER, IDB_PAGE_MEMORY, IDS_TIP_MEMORY},
    {IDC_BTN_STARTUP, IDB_PAGE_STARTUP_HOVER, IDB_PAGE_STARTUP, IDS_TIP_STARTUP},
    {IDC_BTN_REPAIR, IDB_PAGE_REPAIR_HOVER, IDB_PAGE_REPAIR, IDS_TIP_REPAIR},
    {IDC_BTN_QUARANTINE, IDB_PAGE_QUARANTINE_HOVER, IDB_PAGE_QUARANTINE, IDS_TIP_QUARANTINE},
};

// The order in which the buttons are set up.
const int kButtonSetupOrder[8] = {PAGE_INFO,   PAGE_SHIELD,  PAGE_SCAN,   PAGE_TOOLS,
                                  PAGE_MEMORY, PAGE_STARTUP, PAGE_REPAIR, PAGE_QUARANTINE};

}  // namespace

MainDialog::MainDialog() : Dialog(IDD_MAIN), m_bPageShown() {
    m_hIcon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page)
        OnCommandId(kPages[page - 1].button, [this, page] { ShowPage(page); });
    OnCommandId(ID_TRAY_EXIT, [this] { OnTrayExit(); });
    OnCommandId(ID_TRAY_SHOW, [this] { OnTrayShow(); });
    OnCommandId(ID_TRAY_SAFE_REMOVE, [this] { OnTraySafeRemove(); });
    OnCommandId(ID_TRAY_IMMUNIZE, [this] { OnTrayImmunize(); });
    OnCommandId(ID_TRAY_UPDATE, [this] { OnTrayUpdate(); });
}

MainDialog::~MainDialog() {
    // While this object is whole, so that the ending runs its own steps.
    if (Hwnd()) DestroyWindow();
    if (m_startupWalkDone) CloseHandle(m_startupWalkDone);
    if (m_hIcon) DestroyIcon(m_hIcon);
}

ui::Dialog* MainDialog::Page(int page) {
    ui::Dialog* pages[8] = {&m_pageInfo,   &m_pageShield,  &m_pageScan,   &m_pageTools,
                            &m_pageMemory, &m_pageStartup, &m_pageRepair, &m_pageQuarantine};
    return page >= 1 && page <= 8 ? pages[page - 1] : nullptr;
}

ImageButton* MainDialog::PageButton(int page) {
    ImageButton* buttons[8] = {&m_btnInfo,   &m_btnShield,  &m_btnScan,   &m_btnTools,
                               &m_btnMemory, &m_btnStartup, &m_btnRepair, &m_btnQuarantine};
    return page >= 1 && page <= 8 ? buttons[page - 1] : nullptr;
}

int MainDialog::OnCreate(CREATESTRUCTA*) {
    if (Default() == -1) return -1;
    // A second instance finds this window by the property.
    SetPropA(Hwnd(), ui::App::Current() ? ui::App::Current()->Name().c_str() : "Vantorix",
             reinterpret_cast<HANDLE>(1));
    return 0;
}

void MainDialog::ConfigurePageButton(int page) {
    const PageEntry& entry = kPages[page - 1];
    ImageButton& button = *PageButton(page);
    button.SubclassDlgItem(entry.button, Hwnd());
    button.LoadBitmapPair(entry.hoverImage, kWhite, entry.normalImage, kWhite);
    button.SetImagePlacement(1);
    std::string tip = ui::LoadString(entry.tooltip);
    button.SetTipText(tip.c_str(), true);
    button.EnableHoverFrame(false);
    button.SetPointerCursor(IDCUR_HAND);
}

BOOL MainDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    g_hMainWnd = Hwnd();
    g_pMainDialog = this;
    // The first drive walk waits on the mount manager for every drive, so it
    // runs while the window and its pages are made; the first look for USB
    // drives below takes its result. The window exists already, so a drive
    // that comes after the walk has begun still announces itself to it.
    if (!m_startupWalkDone) m_startupWalkDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const bool walking = m_startupWalkDone && ResetEvent(m_startupWalkDone) &&
                         StartWorker(&MainDialog::StartupDriveWalkThread);
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    MoveWindow(Hwnd(), ui::ScaleForDpi(50), ui::ScaleForDpi(50), ui::ScaleForDpi(755), ui::ScaleForDpi(550), TRUE);
    CenterOnScreen();
    FitPageButtons();

    for (int page : kButtonSetupOrder) ConfigurePageButton(page);

    // Each page lives as long as the window; a template that cannot be
    // created leaves its page without a window.
    ui::Dialog* creationOrder[8] = {&m_pageInfo,   &m_pageMemory, &m_pageQuarantine, &m_pageScan,
                                    &m_pageShield, &m_pageRepair, &m_pageTools,      &m_pageStartup};
    for (ui::Dialog* page : creationOrder) page->Create(Hwnd());

    AddTrayIcon(Hwnd());
    ShowPage(PAGE_INFO);
    ui::Dialog::StartWorker(&MainDialog::TrayWatchThread);
    ui::Dialog::StartWorker(&MainDialog::UninstallWatchThread);
    // The fixed disks present at start-up are recorded in the same walk as
    // the first look for USB drives, and before that look is acted on.
    if (walking) {
        WaitForSingleObject(m_startupWalkDone, INFINITE);
    } else {
        StartupDriveWalkThread(this);
    }
    ShowUsbDrives(m_startupUsbLetters, m_startupUsbCount);

    // Settle in the notification area once the message loop runs.
    PostMessageA(Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
}

void MainDialog::FitPageButtons() {
    // The row's dialog units follow the template's font, which need not grow
    // exactly with the DPI (a bitmap font at 120 DPI grows faster), while the
    // window does. A row that would run past the window is narrowed so that it
    // keeps its left margin on the right too.
    RECT client;
    GetClientRect(Hwnd(), &client);
    RECT buttons[8];
    int left = client.right, right = 0;
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        RECT& r = buttons[page - 1];
        GetWindowRect(Item(kPages[page - 1].button), &r);
        MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        left = std::min(left, static_cast<int>(r.left));
        right = std::max(right, static_cast<int>(r.right));
    }
    const int limit = client.right - left;
    if (right <= limit || right <= left) return;
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        const RECT& r = buttons[page - 1];
        int x = left + MulDiv(r.left - left, limit - left, right - left);
        int width = MulDiv(r.right - r.left, limit - left, right - left);
        SetWindowPos(Item(kPages[page - 1].button), nullptr, x, r.top, width, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainDialog::CenterOnScreen() {
    RECT window, work;
    GetWindowRect(Hwnd(), &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int width = window.right - window.left, height = window.bottom - window.top;
    SetWindowPos(Hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainDialog::ShowPage(int page) {
    for (int shown = PAGE_INFO; shown <= PAGE_QUARANTINE; ++shown) {
        if (!m_bPageShown[shown - 1]) continue;
        ShowWindow(Page(shown)->Hwnd(), SW_HIDE);
        m_bPageShown[shown - 1] = false;
        // Both pictures again; each was loaded once, when the button was set up.
        PageButton(shown)->ShowNormalBitmap(true);
    }
    if (page < PAGE_INFO || page > PAGE_QUARANTINE) return;
    HWND pageWindow = Page(page)->Hwnd();
    ShowWindow(pageWindow, SW_SHOW);
    SetWindowPos(pageWindow, HWND_TOP, 0, ui::ScaleForDpi(90), ui::ScaleForDpi(750), ui::ScaleForDpi(450),
                 SWP_SHOWWINDOW);
    m_bPageShown[page - 1] = true;
    // The current page's button keeps the hover look.
    PageButton(page)->ShowNormalBitmap(false);
}

BOOL MainDialog::DestroyWindow() {
    if (!Hwnd()) return FALSE;
    m_ending = true;
    // Every worker hears of the end before anything waits for one; a box
    // that a worker has open is closed, not waited on.
    StopWorkers();
    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) Page(page)->StopWorkers();
    // The watches end first, so that none puts the icon back once it is gone.
    WaitForWorkers();
    RemovePropA(Hwnd(), ui::App::Current() ? ui::App::Current()->Name().c_str() : "Vantorix");
    // Every way of ending passes here, so the icon never outlives the program.
    DeleteTrayIcon();
    return Dialog::DestroyWindow();
}

void MainDialog::OnCancel() {
    if (m_ending) return;
    if (ui::ShowMessage(IDS_CONFIRM_QUIT, MB_OKCANCEL) == IDOK) OnTrayExit();
}

void MainDialog::OnTrayExit() {
    m_ending = true;
    Dialog::OnCancel();
}

void MainDialog::OnTrayShow() {
    if (m_ending) return;
    ShowWindow(Hwnd(), SW_RESTORE);
    SetForegroundWindow(Hwnd());
}

// The tools page's operations, run with the window left as it is (hidden
// when chosen from the tray): their messages appear on their own.
void MainDialog::OnTraySafeRemove() { m_pageTools.OnSafelyRemove(); }

void MainDialog::OnTrayImmunize() { m_pageTools.OnAcquireImmunity(); }

void MainDialog::OnTrayUpdate() {
    LaunchUpdater();
}

BOOL MainDialog::WinHelp(DWORD_PTR, UINT) {
    OpenHelpDocument();
    return TRUE;
}

bool MainDialog::PreTranslateMessage(MSG* msg) {
    // Enter on the window's own controls: only what the focused one does.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) return HandleEnter(msg);
    return false;
}

void MainDialog::OnPaint() {
    if (!IsIconic(Hwnd())) {
        Default();
        return;
    }
    ui::ScopedPaint paint(Hwnd());
    SendMessageA(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(paint)), 0);
    RECT client;
    GetClientRect(Hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(paint, x, y, m_hIcon);
}

LRESULT MainDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_SYSCOMMAND:
        // The caption's close button, Alt+F4 and the system menu only hide the window.
        if (wParam == SC_CLOSE) {
            ShowWindow(Hwnd(), SW_HIDE);
            return 0;
        }
        break;
    case WM_DEVICECHANGE:
        // Any arrival or removal repeats the whole check for the drives present.
        if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) OnDeviceArrival();
        return Default();
    case WM_TRAYNOTIFY:
        // Not passed on: to the dialog manager the same number is DM_SETDEFID.
        OnTrayNotify(lParam);
        return 0;
    case WM_COMMAND:
        // Tray menu items and clicks that arrive while the window ends.
        if (m_ending) return 0;
        break;
    case WM_DESTROY:
        m_ending = true;
        break;
    }
    return Dialog::WindowProc(msg, wParam, lParam);
}

void MainDialog::OnDeviceArrival() {
    if (m_ending) return;
    char letters[DRIVE_LIST_CAPACITY] = {};
    ShowUsbDrives(letters, GetUsbDriveLetters(letters));
}

void MainDialog::ShowUsbDrives(const char* letters, int count) {
    if (m_ending || count == 0) return;
    ShowWindow(Hwnd(), SW_RESTORE);
    SetForegroundWindow(Hwnd());
    ShowPage(PAGE_SHIELD);
    // An empty list is left alone: emptying it again would still make a shown
    // list lay out its scroll bars, at once.
    HWND findings = GetDlgItem(m_pageShield.Hwnd(), IDC_SHIELD_LIST);
    if (SendMessageA(findings, LVM_GETITEMCOUNT, 0, 0) > 0) SendMessageA(findings, LVM_DELETEALLITEMS, 0, 0);
    // Plays while the roots are checked; no sound device is no reason to stop.
    ui::Dialog::StartWorker(&MainDialog::ArrivalSoundThread);
    m_pageShield.ScanDriveRoots(letters, count);
}

unsigned MainDialog::StartupDriveWalkThread(MainDialog* dlg) {
    ZeroMemory(dlg->m_startupUsbLetters, sizeof dlg->m_startupUsbLetters);
    dlg->m_startupUsbCount = RecordFixedDrivesAndGetUsbDriveLetters(dlg->m_startupUsbLetters);
    if (dlg->m_startupWalkDone) SetEvent(dlg->m_startupWalkDone);  // the count and letters are written
    return 0;
}

unsigned MainDialog::ArrivalSoundThread(MainDialog*) {
    ui::PlayResourceSound(IDR_ARRIVAL_SOUND);
    return 0;
}

void MainDialog::OnTrayNotify(LPARAM mouseMessage) {
    if (m_ending) return;
    if (mouseMessage == WM_LBUTTONDOWN) {
        OnTrayShow();
        return;
    }
    if (mouseMessage != WM_RBUTTONDOWN) return;
    ui::Menu menu;
    if (!menu.Load(IDR_TRAY_MENU)) return;
    HMENU popup = menu.SubMenu(0);
    ui::Menu::SetDefaultItem(popup, 0, true);  // "show", drawn in bold
    // Without this the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(Hwnd());
    POINT cursor;
    GetCursorPos(&cursor);
    ui::Menu::TrackPopup(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, Hwnd());
}

namespace {

// Waits until `stop` is set, `*done` holds or `timeoutMs` passes, handling
// this thread's messages (window procedures, event hooks) meanwhile; true
// when stopped. Nothing runs while nothing happens.
bool WaitHandlingMessages(HANDLE stop, DWORD timeoutMs, const bool* done = nullptr) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done && *done) return false;
        DWORD waited = GetTickCount() - start;
        if (timeoutMs != INFINITE && waited >= timeoutMs) return false;
        DWORD left = timeoutMs == INFINITE ? INFINITE : timeoutMs - waited;
        if (MsgWaitForMultipleObjects(1, &stop, FALSE, left, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
    }
}

// The shell broadcasts this to every top-level window when its taskbar is
// (re)created, e.g. after Explorer restarted.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

struct TrayWatch {
    MainDialog* dialog;
};

LRESULT CALLBACK TrayWatchWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == TaskbarCreatedMessage() && msg != 0) {
        auto* watch = reinterpret_cast<TrayWatch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (watch && !watch->dialog->StopRequested() && g_hMainWnd) ReaddTrayIcon(g_hMainWnd);
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

// Lets a message in from processes of a lower integrity level (Vista and
// later, when the program runs elevated); XP has no such filter.
void AllowFromLowerIntegrity(UINT message) {
    using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
    auto filter = reinterpret_cast<FilterFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilter")));
    if (filter) filter(message, 1 /* MSGFLT_ADD */);
}

}  // namespace

unsigned MainDialog::TrayWatchThread(MainDialog* dlg) {
    // A hidden top-level window of this thread receives the taskbar's
    // broadcast; message-only windows never receive broadcasts.
    static const char kClass[] = "VantorixTrayWatch";
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TrayWatchWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    TrayWatch watch = {dlg};
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watch));
    AllowFromLowerIntegrity(TaskbarCreatedMessage());
    WaitHandlingMessages(dlg->StopEvent(), INFINITE);
    ::DestroyWindow(window);
    return 0;
}

namespace {

// The uninstaller's window, looked for whenever a top-level window is
// created, shown or renamed anywhere on the desktop.
thread_local const std::string* t_uninstallTitle = nullptr;
thread_local bool t_uninstallerSeen = false;

void CALLBACK OnWindowEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object != OBJID_WINDOW || child != CHILDID_SELF || !window || t_uninstallerSeen) return;
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow()) return;
    // FindWindowA reads the titles without sending messages to their owners.
    if (t_uninstallTitle && FindWindowA(nullptr, t_uninstallTitle->c_str())) t_uninstallerSeen = true;
}

}  // namespace

namespace {

// Wine tells a process only of its own windows' events, not of other
// programs' windows: there the watch has to look.
bool WindowEventsStayInProcess() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The cheap look: one listing of the top-level windows, and the titles of
// only those that are new (for their first two seconds, as a title may come
// after the window).
class NewWindowLook {
public:
    explicit NewWindowLook(const std::string& title) : m_title(title) {}

    // The windows there now, already looked at by title as a whole.
    void Remember() {
        m_known.clear();
        EnumWindows(AddToList, reinterpret_cast<LPARAM>(&m_known));
        std::sort(m_known.begin(), m_known.end());
    }

    bool Found() {
        std::vector<HWND> now;
        EnumWindows(AddToList, reinterpret_cast<LPARAM>(&now));
        std::sort(now.begin(), now.end());
        std::vector<Young> young;
        for (HWND window : now) {
            auto known = std::lower_bound(m_known.begin(), m_known.end(), window);
            bool isNew = known == m_known.end() || *known != window;
            int looks = isNew ? kLooks : 0;
            for (const Young& y : m_young)
                if (y.window == window) looks = y.looksLeft;
            if (looks <= 0) continue;
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            // This process's own windows are told by the events.
            if (process == GetCurrentProcessId()) continue;
            char text[256] = {};
            GetWindowTextA(window, text, sizeof text);
            if (lstrcmpiA(m_title.c_str(), text) == 0) return true;
            young.push_back({window, looks - 1});
        }
        m_known.swap(now);
        m_young.swap(young);
        return false;
    }

private:
    static BOOL CALLBACK AddToList(HWND window, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    }

    static const int kLooks = 10;
    struct Young {
        HWND window;
        int looksLeft;
    };
    const std::string& m_title;
    std::vector<HWND> m_known;
    std::vector<Young> m_young;
};

}  // namespace

unsigned MainDialog::UninstallWatchThread(MainDialog* dlg) {
    std::string title = ui::LoadString(IDS_UNINSTALL_TITLE);
    std::string notice = ui::LoadString(IDS_UNINSTALL_QUIT);
    t_uninstallTitle = &title;
    t_uninstallerSeen = false;
    // Told of every window created, shown or renamed, instead of polling.
    HWINEVENTHOOK created = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWindowEvent, 0, 0,
                                            WINEVENT_OUTOFCONTEXT);
    HWINEVENTHOOK renamed = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                            OnWindowEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    // Where the events do not cover other programs, look every 200 ms.
    const bool look = !created || !renamed || WindowEventsStayInProcess();
    NewWindowLook newWindows(title);
    if (look) newWindows.Remember();
    // A window that was there before the hooks and the list.
    if (FindWindowA(nullptr, title.c_str())) t_uninstallerSeen = true;
    bool stopped = false;
    while (!t_uninstallerSeen && !stopped) {
        stopped = WaitHandlingMessages(dlg->StopEvent(), look ? 200 : INFINITE, &t_uninstallerSeen);
        if (look && !stopped && !t_uninstallerSeen) t_uninstallerSeen = newWindows.Found();
    }
    if (created) UnhookWinEvent(created);
    if (renamed) UnhookWinEvent(renamed);
    t_uninstallTitle = nullptr;
    if (stopped || !t_uninstallerSeen) return 0;
    ui::ShowMessage(notice, MB_OK);
    // Ends the dialog on its own thread, without the quit question.
    dlg->PostEndDialog(IDCANCEL);
    return 0;
}
