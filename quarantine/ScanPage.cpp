#include "quarantine/ScanPage.h"

#include <vector>

#include "controls/PageButton.h"
#include "quarantine/FindingDeletion.h"
#include "ui/Dpi.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "usb/DriveInventory.h"
#include "usb/RiskyFiles.h"

namespace {

const int FILE_COLUMN_WIDTH = 600;
const int STATE_COLUMN_WIDTH = 135;

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Programs, batch and autorun files count when hidden; the script and
// shortcut types that nobody keeps on a stick on purpose count always.
// Decided from the search entry alone: no file is looked up again.
bool IsScanFinding(const WIN32_FIND_DATAA& entry) {
    switch (GetRiskyFileTypeOf(entry.cFileName, entry.dwFileAttributes)) {
    case RISKY_EXE:
    case RISKY_COM:
    case RISKY_BAT:
    case RISKY_INF:
        return (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    case RISKY_PIF:
    case RISKY_VBS:
    case RISKY_VB:
    case RISKY_VBE:
        return true;
    default:
        return false;
    }
}

}  // namespace

ScanPage::ScanPage() : Dialog(IDD_PAGE_SCAN) {}

ScanPage::~ScanPage() {
    // Destroying the window stops and waits for the threads while this
    // object, which they use, is still whole.
    DestroyWindow();
    if (RunningWorkers() > 0) {
        OnStopWorkers();
        WaitForWorkers();
    }
}

void ScanPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_SCAN_STATUS, m_staticStatus);
    dx.Control(IDC_SCAN_LIST, m_listThreats);
    dx.Control(IDC_SCAN_ANIMATION, m_animation);
}

BOOL ScanPage::OnInitDialog() {
    Dialog::OnInitDialog();
    m_listThreats.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_listThreats.InsertColumns({{IDS_COL_FILE, FILE_COLUMN_WIDTH}, {IDS_COL_SCAN_STATE, STATE_COLUMN_WIDTH}});

    SetUpPageButton(m_btnStartScan, Hwnd(), IDC_SCAN_START, IDB_SCAN);
    SetUpPageButton(m_btnStopScan, Hwnd(), IDC_SCAN_STOP, IDB_STOP);
    SetUpPageButton(m_btnDelete, Hwnd(), IDC_SCAN_DELETE, IDB_DELETE);
    SetUpPageButton(m_btnDeleteAll, Hwnd(), IDC_SCAN_DELETE_ALL, IDB_DELETE);

    m_fontStatus.Reset(CreateFontA(ui::ScaleForDpi(20), ui::ScaleForDpi(10), 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    m_staticStatus.SetFont(m_fontStatus);

    OnCommandId(IDC_SCAN_START, [this] { OnScan(); });
    OnCommandId(IDC_SCAN_STOP, [this] { OnStop(); });
    OnCommandId(IDC_SCAN_DELETE, [this] { OnDelete(); });
    OnCommandId(IDC_SCAN_DELETE_ALL, [this] { OnDeleteAll(); });
    return TRUE;
}

void ScanPage::EnableWorkButtons(bool enable) {
    EnableWindow(m_btnStartScan.Hwnd(), enable);
    EnableWindow(m_btnDelete.Hwnd(), enable);
    EnableWindow(m_btnDeleteAll.Hwnd(), enable);
}

void ScanPage::OnScan() {
    if (RunningWorkers() > 0) return;
    // Set before the thread starts, so that no second scan or delete can
    // begin in between and a stop pressed at once is not lost.
    EnableWorkButtons(false);
    m_bScanning = true;
    if (!StartWorker(ScanThreadProc)) {
        m_bScanning = false;
        EnableWorkButtons(true);
    }
}

void ScanPage::OnStop() {
    m_bScanning = false;
}

void ScanPage::OnStopWorkers() {
    m_bClosing = true;
    m_bScanning = false;
}

void ScanPage::AddFinding(const std::string& path) {
    int row = m_listThreats.InsertItem(m_found, path);
    if (row < 0) return;
    m_listThreats.SetItemText(row, 1, m_suspicious);
    ++m_found;
}

int ScanPage::WalkDrive(const std::string& drive) {
    const int before = m_found;
    // Folders still to search; the one pushed last is searched next, so the
    // walk goes depth-first and lists each folder once.
    std::vector<std::string> folders;
    std::string folder = drive;
    WIN32_FIND_DATAA entry;
    while (m_bScanning) {
        ui::ScopedFind find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
        // A folder that cannot be listed (gone, denied, too deep) is skipped.
        if (find) {
            do {
                if (!m_bScanning) break;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    // A junction or link may lead back above itself: its
                    // target is not walked through it.
                    if (!IsDotEntry(entry.cFileName) && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                        folders.push_back(folder + "\\" + entry.cFileName);
                } else if (IsScanFinding(entry)) {
                    AddFinding(folder + "\\" + entry.cFileName);
                }
            } while (FindNextFileA(find, &entry));
        }
        if (folders.empty()) break;
        folder.swap(folders.back());
        folders.pop_back();
    }
    return m_found - before;
}

unsigned ScanPage::ScanThreadProc(ScanPage* page) {
    page->EnableWorkButtons(false);
    char letters[DRIVE_LIST_CAPACITY] = {};
    int count = GetUsbDriveLetters(letters);
    int found = 0;
    if (count == 0) {
        if (!page->m_bClosing) ui::ShowMessage(IDS_USB_NOT_FOUND);
    } else {
        page->m_animation.Open(IDR_AVI_SCAN);
        page->m_animation.Play();
        page->m_listThreats.DeleteAllItems();
        page->m_found = 0;
        page->m_suspicious = ui::LoadString(IDS_SUSPICIOUS);
        // Once stopped, each remaining drive ends at once.
        for (int drive = 0; drive < count; ++drive) page->WalkDrive(std::string(1, letters[drive]) + ":");
        found = page->m_found;
        page->m_animation.Close();
    }

    if (found > 0) {
        char status[256];
        wsprintfA(status, ui::LoadString(IDS_THREATS_FOUND).c_str(), found);
        page->m_staticStatus.SetText(status);
    } else {
        page->m_staticStatus.SetText(ui::LoadString(IDS_NO_THREAT));
    }
    page->m_bScanning = false;
    page->EnableWorkButtons(true);
    return 0;
}

void ScanPage::OnDelete() {
    int row = m_listThreats.GetFirstSelected();
    int rows = m_listThreats.GetItemCount();
    EnableWindow(m_btnStartScan.Hwnd(), FALSE);
    if (rows == 0) {
        ui::ShowMessage(IDS_NO_THREAT);
    } else if (row < 0) {
        ui::ShowMessage(IDS_SELECT_FILE);
    } else {
        const std::string path = m_listThreats.GetItemText(row, 0);
        if (ui::ShowMessage(ui::LoadString(IDS_DELETE_PREFIX) + path + "?", MB_OKCANCEL) == IDOK)
            m_listThreats.SetItemText(row, 1, ui::LoadString(DeleteFinding(path, true)));
    }
    EnableWindow(m_btnStartScan.Hwnd(), TRUE);
}

void ScanPage::OnDeleteAll() {
    if (m_listThreats.GetItemCount() == 0) {
        ui::ShowMessage(IDS_NO_THREAT);
        return;
    }
    if (ui::ShowMessage(IDS_CONFIRM_DELETE_ALL, MB_OKCANCEL) != IDOK || RunningWorkers() > 0) return;
    // Disabled before the thread starts, so that nothing else begins while
    // its first message is still open.
    EnableWorkButtons(false);
    if (!StartWorker(DeleteAllThreadProc)) EnableWorkButtons(true);
}

unsigned ScanPage::DeleteAllThreadProc(ScanPage* page) {
    int rows = page->m_listThreats.GetItemCount();
    page->EnableWorkButtons(false);
    if (!page->m_bClosing) ui::ShowMessage(IDS_PLEASE_WAIT);
    // Rows already marked are done again: a file already gone is "Deleted".
    for (int row = 0; row < rows && !page->m_bClosing; ++row) {
        const std::string path = page->m_listThreats.GetItemText(row, 0);
        page->m_listThreats.SetItemText(row, 1, ui::LoadString(DeleteFinding(path, false)));
    }
    page->EnableWorkButtons(true);
    return 0;
}
