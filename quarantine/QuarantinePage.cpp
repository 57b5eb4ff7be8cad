#include "quarantine/QuarantinePage.h"

#include "controls/PageButton.h"
#include "quarantine/QuarantineStore.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"

#include <cstring>

namespace {

const int PATH_COLUMN_WIDTH = 410;

bool FileExists(const std::string& path) {
    char found[1024];
    DWORD length = SearchPathA(nullptr, path.c_str(), nullptr, sizeof found, found, nullptr);
    return length > 0 && length < sizeof found;
}

UINT RestoreMessage(int result) {
    switch (result) {
    case RESTORE_TO_ORIGIN:
        return IDS_RESTORE_SUCCEEDED;
    case RESTORE_TO_DESKTOP:
        return IDS_RESTORED_TO_DESKTOP;
    default:
        return IDS_RESTORE_FAILED;
    }
}

}  // namespace

QuarantinePage::QuarantinePage() : Dialog(IDD_PAGE_QUARANTINE) {}

QuarantinePage::~QuarantinePage() {
    // Destroying the window stops and waits for the empty thread while this
    // object, which it uses, is still whole.
    DestroyWindow();
    if (RunningWorkers() > 0) {
        OnStopWorkers();
        WaitForWorkers();
    }
}

void QuarantinePage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_QUARANTINE_LIST, m_listQuarantine);
}

BOOL QuarantinePage::OnInitDialog() {
    Dialog::OnInitDialog();
    m_listQuarantine.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_listQuarantine.InsertColumns({{IDS_COL_ORIGIN, PATH_COLUMN_WIDTH}, {IDS_COL_QUARANTINE, PATH_COLUMN_WIDTH}});

    SetUpPageButton(m_btnRefresh, Hwnd(), IDC_QUARANTINE_REFRESH, IDB_REFRESH, IDS_TIP_REFRESH);
    SetUpPageButton(m_btnRestore, Hwnd(), IDC_QUARANTINE_RESTORE, IDB_RESTORE, IDS_TIP_RESTORE);
    SetUpPageButton(m_btnEmpty, Hwnd(), IDC_QUARANTINE_EMPTY, IDB_DELETE, IDS_TIP_EMPTY);

    OnCommandId(IDC_QUARANTINE_REFRESH, [this] { RefreshList(); });
    OnCommandId(IDC_QUARANTINE_RESTORE, [this] { OnRestore(); });
    OnCommandId(IDC_QUARANTINE_EMPTY, [this] { OnEmpty(); });
    RefreshList();
    return TRUE;
}

void QuarantinePage::EnableButtons(bool enable) {
    EnableWindow(m_btnRefresh.Hwnd(), enable);
    EnableWindow(m_btnRestore.Hwnd(), enable);
    EnableWindow(m_btnEmpty.Hwnd(), enable);
}

void QuarantinePage::RefreshList() {
    char folder[QUARANTINE_PATH_MAX + 1] = "";
    GetQuarantineFolder(folder);
    EnableButtons(false);
    m_listQuarantine.SetRedraw(false);
    m_listQuarantine.DeleteAllItems();
    // Without a folder there is nothing to list (and no pattern to search).
    if (folder[0]) {
        WIN32_FIND_DATAA entry;
        ui::ScopedFind find(FindFirstFileA((std::string(folder) + "*.bq").c_str(), &entry));
        if (find) {
            int rows = 0;
            do {
                // Only files that carry the signature are listed; whatever
                // else lies there is left alone.
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                const std::string path = std::string(folder) + entry.cFileName;
                char origin[QUARANTINE_PATH_MAX + 1];
                if (!ReadQuarantineOrigin(path.c_str(), origin)) continue;
                int row = m_listQuarantine.InsertItem(rows, origin);
                if (row < 0) continue;
                m_listQuarantine.SetItemText(row, 1, path);
                ++rows;
            } while (FindNextFileA(find, &entry));
        }
    }
    m_listQuarantine.SetRedraw(true);
    EnableButtons(true);
}

void QuarantinePage::OnRestore() {
    int row = m_listQuarantine.GetFirstSelected();
    int rows = m_listQuarantine.GetItemCount();
    EnableButtons(false);
    if (rows == 0) {
        ui::ShowMessage(IDS_NOTHING_FOUND);
    } else if (row < 0) {
        ui::ShowMessage(IDS_SELECT_FILE);
    } else if (ui::ShowMessage(ui::LoadString(IDS_RESTORE_PREFIX) + m_listQuarantine.GetItemText(row, 0) + "?",
                               MB_OKCANCEL) == IDOK) {
        const std::string quarantined = m_listQuarantine.GetItemText(row, 1);
        if (!FileExists(quarantined))
            ui::ShowMessage(IDS_QUARANTINED_FILE_ABSENT);
        else
            ui::ShowMessage(RestoreMessage(RestoreQuarantinedFile(quarantined.c_str())));
    }
    EnableButtons(true);
}

void QuarantinePage::OnEmpty() {
    if (m_listQuarantine.GetItemCount() == 0) {
        ui::ShowMessage(IDS_NOTHING_FOUND);
        return;
    }
    if (ui::ShowMessage(IDS_CONFIRM_EMPTY, MB_OKCANCEL) != IDOK || RunningWorkers() > 0) return;
    // Disabled before the thread starts, so that nothing else begins while
    // its first message is still open.
    EnableButtons(false);
    if (!StartWorker(EmptyQuarantineThreadProc)) EnableButtons(true);
}

unsigned QuarantinePage::EmptyQuarantineThreadProc(QuarantinePage* page) {
    int rows = page->m_listQuarantine.GetItemCount();
    page->EnableButtons(false);
    if (page->m_bClosing) return 0;
    ui::ShowMessage(IDS_PLEASE_WAIT);
    char folder[QUARANTINE_PATH_MAX + 1] = "";
    GetQuarantineFolder(folder);
    const size_t folderLength = strlen(folder);
    for (int row = 0; row < rows && !page->m_bClosing; ++row) {
        const std::string path = page->m_listQuarantine.GetItemText(row, 1);
        // Only a file inside the quarantine folder is ever deleted here.
        if (!folder[0] || path.size() <= folderLength ||
            CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.c_str(), static_cast<int>(folderLength),
                           folder, static_cast<int>(folderLength)) != CSTR_EQUAL)
            continue;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    if (page->m_bClosing) return 0;
    page->RefreshList();
    ui::ShowMessage(IDS_EMPTY_COMPLETED);
    page->EnableButtons(true);
    return 0;
}
