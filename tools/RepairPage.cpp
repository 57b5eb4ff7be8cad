#include "tools/RepairPage.h"

#include <shlobj.h>

#include <cstdio>

#include "app/MainDialog.h"
#include "controls/PageButton.h"
#include "tools/DiskCleanup.h"
#include "tools/RegistryRepair.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "usb/DriveInventory.h"
#include "usb/ProcessTools.h"
#include "usb/SystemSeams.h"

namespace {

const int CONTENT_COLUMN_WIDTH = 500;
const int STATE_COLUMN_WIDTH = 235;
const char SHUTDOWN_PRIVILEGE[] = "SeShutdownPrivilege";

// GetTempPathA's buffer; the path it gives ends in a backslash.
const DWORD TEMP_PATH_BUFFER = 500;

std::string SpecialFolderWithBackslash(int folder) {
    char path[MAX_PATH + 1] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, folder, FALSE) || !path[0]) return std::string();
    std::string result = path;
    if (result.back() != '\\') result += '\\';
    return result;
}

std::string TempFolder() {
    char path[TEMP_PATH_BUFFER];
    DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length >= sizeof path) return std::string();
    return std::string(path, length);
}

}  // namespace

std::string FormatRemainingTime(unsigned hours, unsigned minutes, unsigned seconds) {
    // Indexed by which numbers are below 10: hours 4, minutes 2, seconds 1.
    static const char* const FORMATS[8] = {"%d:%d:%d",   "%d:%d:0%d",   "%d:0%d:%d",   "%d:0%d:0%d",
                                           "0%d:%d:%d",  "0%d:%d:0%d",  "0%d:0%d:%d",  "0%d:0%d:0%d"};
    int format = (hours < 10 ? 4 : 0) + (minutes < 10 ? 2 : 0) + (seconds < 10 ? 1 : 0);
    char text[30];
    snprintf(text, sizeof text, FORMATS[format], static_cast<int>(hours), static_cast<int>(minutes),
             static_cast<int>(seconds));
    return text;
}

void ForceShutdown() {
    const UINT flags = EWX_SHUTDOWN | EWX_FORCE;
    if (GetOsPlatform() != OS_PLATFORM_NT) {
        ExitSession(flags, 0);
        return;
    }
    if (EnablePrivilege(SHUTDOWN_PRIVILEGE)) ExitSession(flags, 0);
    DisablePrivilege(SHUTDOWN_PRIVILEGE);
}

RepairPage::RepairPage() : Dialog(IDD_PAGE_REPAIR) {
    OnCommandId(IDC_REPAIR_REGISTRY, [this] { OnRepairRegistry(); });
    OnCommandId(IDC_REPAIR_CLEANUP, [this] { OnCleanup(); });
    OnCommandId(IDC_REPAIR_SHUTDOWN, [this] { OnStartShutdownTimer(); });
    OnCommandId(IDC_REPAIR_CANCEL_SHUTDOWN, [this] { OnCancelShutdownTimer(); });
}

RepairPage::~RepairPage() {
    // The threads use this object: the window goes, and they are waited
    // for, while it is still whole.
    DestroyWindow();
    WaitForWorkers();
}

void RepairPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_REPAIR_ANIMATION, m_animation);
    dx.Control(IDC_REPAIR_LIST, m_list);
    dx.UnsignedInt(IDC_REPAIR_DELAY_MINUTES, m_nDelayMinutes);
}

BOOL RepairPage::OnInitDialog() {
    Dialog::OnInitDialog();
    SetUpPageButton(m_btnRepairRegistry, Hwnd(), IDC_REPAIR_REGISTRY, IDB_REPAIR_REGISTRY, IDS_TIP_REPAIR_REGISTRY);
    SetUpPageButton(m_btnCleanup, Hwnd(), IDC_REPAIR_CLEANUP, IDB_CLEANUP, IDS_TIP_CLEANUP);
    SetUpPageButton(m_btnShutdown, Hwnd(), IDC_REPAIR_SHUTDOWN, IDB_SHUTDOWN, IDS_TIP_SHUTDOWN);
    SetUpPageButton(m_btnCancelShutdown, Hwnd(), IDC_REPAIR_CANCEL_SHUTDOWN, IDB_CANCEL_SHUTDOWN, IDS_TIP_CANCEL_SHUTDOWN);

    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    m_list.InsertColumns({{IDS_COL_CONTENT, CONTENT_COLUMN_WIDTH}, {IDS_COL_REPAIR_STATE, STATE_COLUMN_WIDTH}});

    SendDlgItemMessageA(Hwnd(), IDC_REPAIR_DELAY_MINUTES, EM_LIMITTEXT, SHUTDOWN_DELAY_DIGITS, 0);
    SetDlgItemTextA(Hwnd(), IDC_REPAIR_SHUTDOWN_STATE, ui::LoadString(IDS_INACTIVE).c_str());
    return TRUE;
}

void RepairPage::EnableToolButtons(bool enable) {
    EnableWindow(m_btnCleanup.Hwnd(), enable);
    EnableWindow(m_btnRepairRegistry.Hwnd(), enable);
}

void RepairPage::AddResultRow(const std::string& content, UINT stateTextId) {
    int row = m_list.InsertItem(m_nRowCount, content);
    if (row < 0) return;
    m_list.SetItemText(row, 1, ui::LoadString(stateTextId));
    ++m_nRowCount;
}

void RepairPage::OnRepairRegistry() {
    if (ui::ShowMessage(IDS_CONFIRM_REPAIR, MB_OKCANCEL) != IDOK) return;
    // Disabled before the thread runs, so that a second click cannot start
    // a second run in between.
    EnableToolButtons(false);
    if (!StartWorker(RepairRegistryThread)) EnableToolButtons(true);
}

unsigned RepairPage::RepairRegistryThread(RepairPage* page) {
    page->EnableToolButtons(false);
    page->m_list.DeleteAllItems();
    page->m_nRowCount = 0;
    bool repaired = RepairRegistry(
        [page](const std::string& content, UINT stateTextId) { page->AddResultRow(content, stateTextId); });
    if (!repaired) ShowRegistryAccessFailed();
    page->EnableToolButtons(true);
    return 0;
}

void RepairPage::OnCleanup() {
    if (ui::ShowMessage(IDS_CONFIRM_CLEANUP, MB_OKCANCEL) != IDOK) return;
    EnableToolButtons(false);
    if (!StartWorker(CleanupThread)) EnableToolButtons(true);
}

unsigned RepairPage::CleanupThread(RepairPage* page) {
    page->EnableToolButtons(false);
    page->m_animation.Open(IDR_AVI_WORKING);
    page->m_animation.Play();
    page->m_list.DeleteAllItems();
    page->m_nRowCount = 0;
    auto addRow = [page](const std::string& content, UINT stateTextId) { page->AddResultRow(content, stateTextId); };

    // A folder whose path cannot be had is passed over.
    for (const std::string& folder :
         {SpecialFolderWithBackslash(CSIDL_COOKIES), SpecialFolderWithBackslash(CSIDL_RECENT), TempFolder()}) {
        if (!folder.empty()) DeleteFilesUnder(addRow, folder, CLEANUP_EVERY_FILE);
    }
    ClearUrlCache(addRow);
    SHEmptyRecycleBinA(nullptr, nullptr, SHERB_NOCONFIRMATION);

    page->EnableToolButtons(true);
    page->m_animation.Close();

    // The window comes forward on this page to show what was done.
    if (!page->m_closing && g_pMainDialog && g_pMainDialog->Hwnd()) {
        HWND mainWindow = g_pMainDialog->Hwnd();
        ShowWindow(mainWindow, SW_RESTORE);
        SetForegroundWindow(mainWindow);
        SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_BTN_REPAIR, BN_CLICKED), 0);
    }
    return 0;
}

void RepairPage::OnStartShutdownTimer() {
    // Setting the timer again restarts its period.
    m_nTimerId = SetTimer(Hwnd(), SHUTDOWN_TIMER_ID, 1000, nullptr);
    // A rejected entry keeps the previous delay.
    UpdateData(true);
    m_nHours = m_nDelayMinutes / 60;
    m_nMinutes = m_nDelayMinutes % 60;
    m_nSeconds = 0;
    SetDlgItemTextA(Hwnd(), IDC_REPAIR_SHUTDOWN_STATE, ui::LoadString(IDS_ACTIVE).c_str());
    ShowRemainingTime();
}

void RepairPage::OnCancelShutdownTimer() {
    KillTimer(Hwnd(), m_nTimerId);
    SetDlgItemTextA(Hwnd(), IDC_REPAIR_SHUTDOWN_STATE, ui::LoadString(IDS_INACTIVE).c_str());
    SetDlgItemTextA(Hwnd(), IDC_REPAIR_COUNTDOWN, "");
}

void RepairPage::OnTimer(UINT_PTR timerId) {
    if (timerId == SHUTDOWN_TIMER_ID) CountDownOneSecond();
    Dialog::OnTimer(timerId);
}

void RepairPage::CountDownOneSecond() {
    if (m_nHours == 0 && m_nMinutes == 0 && m_nSeconds == 0) {
        KillTimer(Hwnd(), m_nTimerId);
        ForceShutdown();
        return;
    }
    if (m_nSeconds > 0) {
        --m_nSeconds;
    } else if (m_nMinutes > 0) {
        --m_nMinutes;
        m_nSeconds = 59;
    } else {
        --m_nHours;
        m_nMinutes = 59;
        m_nSeconds = 59;
    }
    ShowRemainingTime();
}

void RepairPage::ShowRemainingTime() {
    SetDlgItemTextA(Hwnd(), IDC_REPAIR_COUNTDOWN, FormatRemainingTime(m_nHours, m_nMinutes, m_nSeconds).c_str());
}
