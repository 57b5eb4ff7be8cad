#include "usb/ShieldPage.h"

#include <initializer_list>

#include "controls/PageButton.h"
#include "quarantine/FindingDeletion.h"
#include "ui/Dpi.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "usb/RiskyFiles.h"

namespace {

const int THREAT_COLUMN_WIDTH = 600;
const int STATE_COLUMN_WIDTH = 135;

// The delete-all thread's steps that touch the page run on the UI thread, so
// that a root scan cannot come between a generation check and its effect.
// They carry plain values only: any process can post them, so the page
// checks each against its own record of the job.
const UINT WM_SHIELD_CLAIM_ROW = WM_APP + 0x110;   // wParam: row; TRUE: go on with it
const UINT WM_SHIELD_ROW_STATE = WM_APP + 0x111;   // wParam: row; lParam: state text id
const UINT WM_SHIELD_DELETE_ALL_DONE = WM_APP + 0x112;

// An .inf file in a root is always a finding; any other risky type only when
// hidden (a plain Setup.exe on a stick is normal).
// Decided from the search entry alone: no file is looked up again.
bool IsRootFinding(const WIN32_FIND_DATAA& entry) {
    int type = GetRiskyFileTypeOf(entry.cFileName, entry.dwFileAttributes);
    if (type == RISKY_INF) return true;
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && type > 0;
}

// While it lives, the shown controls among those given paint nothing; then
// each is invalidated once and paints with the next WM_PAINT. Only the
// controls that would paint at once are held (the list and the status line;
// the image buttons defer their own painting): holding the whole page costs
// more than the check's own rows. It is the default handling of WM_SETREDRAW
// that holds a window's painting; a list view's own redraw flag does not, as
// its new scroll bar and frame are drawn at once when that flag comes back
// on. Controls not on screen paint nothing anyway and are left alone.
class ControlPaintBatch {
public:
    explicit ControlPaintBatch(std::initializer_list<HWND> controls) {
        for (HWND control : controls) {
            if (m_count == MAX_CONTROLS || !IsWindowVisible(control)) continue;
            DefWindowProcA(control, WM_SETREDRAW, FALSE, 0);
            m_held[m_count++] = control;
        }
    }
    ~ControlPaintBatch() {
        for (int i = 0; i < m_count; ++i) {
            DefWindowProcA(m_held[i], WM_SETREDRAW, TRUE, 0);
            RedrawWindow(m_held[i], nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        }
    }
    ControlPaintBatch(const ControlPaintBatch&) = delete;
    ControlPaintBatch& operator=(const ControlPaintBatch&) = delete;

private:
    static const int MAX_CONTROLS = 2;
    HWND m_held[MAX_CONTROLS] = {};
    int m_count = 0;
};

}  // namespace

ShieldPage::ShieldPage() : Dialog(IDD_PAGE_SHIELD) {}

ShieldPage::~ShieldPage() {
    // Destroying the window stops and waits for the delete-all thread while
    // this object, which the thread uses, is still whole.
    DestroyWindow();
    if (RunningWorkers() > 0) {
        StopWorkers();
        WaitForWorkers();
    }
}

void ShieldPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_SHIELD_LIST, m_list);
    dx.Control(IDC_SHIELD_STATUS, m_status);
}

BOOL ShieldPage::OnInitDialog() {
    Dialog::OnInitDialog();
    m_statusFont.Reset(CreateFontA(ui::ScaleForDpi(20), ui::ScaleForDpi(10), 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    m_status.SetFont(m_statusFont);

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_list.InsertColumns({{IDS_COL_THREAT, THREAT_COLUMN_WIDTH}, {IDS_COL_STATE, STATE_COLUMN_WIDTH}});
    // The root check runs on every arrival; its texts are loaded once.
    m_riskyText = ui::LoadString(IDS_RISKY);
    m_threatsFoundFormat = ui::LoadString(IDS_THREATS_FOUND);
    m_noThreatText = ui::LoadString(IDS_NO_THREAT);

    SetUpPageButton(m_btnDelete, Hwnd(), IDC_SHIELD_DELETE, IDB_DELETE);
    SetUpPageButton(m_btnDeleteAll, Hwnd(), IDC_SHIELD_DELETE_ALL, IDB_DELETE);
    // A decoration: no command, so no hand pointer either.
    SetUpPageButton(m_btnEmblem, Hwnd(), IDC_SHIELD_EMBLEM, IDB_SHIELD_EMBLEM, 0, false);

    OnCommandId(IDC_SHIELD_DELETE, [this] { OnDelete(); });
    OnCommandId(IDC_SHIELD_DELETE_ALL, [this] { OnDeleteAll(); });
    return TRUE;
}

void ShieldPage::EnableButtons(bool enable) {
    // Each change of state repaints the button and may move the focus: only
    // buttons that change are touched.
    for (HWND button : {m_btnDelete.Hwnd(), m_btnDeleteAll.Hwnd()})
        if ((IsWindowEnabled(button) != FALSE) != enable) EnableWindow(button, enable);
}

bool ShieldPage::ScanDriveRoots(const char* letters, int count) {
    if (!letters || count <= 0) return false;
    // The rows of earlier scans are gone: a running delete-all may finish the
    // file in its hands, then it stops. The window stays responsive while that
    // file (which may be large) is finished.
    const unsigned generation = ++m_generation;
    if (!PumpMessagesUntil([this] { return m_rowInHand < 0 || !Hwnd(); }) || !Hwnd()) return false;
    // A newer scan ran meanwhile and listed the drives present.
    if (generation != m_generation) return true;

    // The buttons, the rows and the status line change many times here, and
    // each change of a shown control would paint at once: they are drawn
    // once, when the check is over.
    ControlPaintBatch batch({m_list.Hwnd(), m_status.Hwnd()});
    EnableButtons(false);
    // The list sizes its scroll bars once, not once per row.
    m_list.SetRedraw(false);
    int rows = 0;
    for (int drive = 0; drive < count; ++drive) {
        // Paths are built in strings: a root entry's name may be up to 255
        // characters long, and such entries are checked like any other.
        const std::string root = std::string(1, letters[drive]) + ":\\";
        WIN32_FIND_DATAA entry;
        ui::ScopedFind find(FindFirstFileA((root + "*.*").c_str(), &entry));
        if (!find) continue;
        do {
            if (!IsRootFinding(entry)) continue;
            int row = m_list.InsertItem(rows, root + entry.cFileName);
            if (row < 0) continue;
            m_list.SetItemText(row, 1, m_riskyText);
            ++rows;
        } while (FindNextFileA(find, &entry));
    }
    m_list.SetRedraw(true);

    if (rows > 0) {
        char status[1024];
        wsprintfA(status, m_threatsFoundFormat.c_str(), rows);
        m_status.SetText(status);
    } else {
        m_status.SetText(m_noThreatText);
    }
    // A running delete-all keeps the buttons until it ends.
    if (!m_deleteAllRunning) EnableButtons(true);
    return true;
}

void ShieldPage::OnDelete() {
    if (m_list.GetItemCount() == 0) {
        ui::ShowMessage(IDS_NO_THREAT);
        return;
    }
    int row = m_list.GetFirstSelected();
    if (row < 0) {
        ui::ShowMessage(IDS_SELECT_FILE);
        return;
    }
    // The answer is about this path; a scan while a box is open replaces the
    // rows, and then the state is not written into someone else's row.
    const std::string path = m_list.GetItemText(row, 0);
    const unsigned generation = m_generation;
    if (ui::ShowMessage(ui::LoadString(IDS_DELETE_PREFIX) + path + "?", MB_OKCANCEL) != IDOK) return;
    UINT state = DeleteFinding(path, true);
    if (generation == m_generation) m_list.SetItemText(row, 1, ui::LoadString(state));
}

void ShieldPage::OnDeleteAll() {
    if (m_list.GetItemCount() == 0) {
        ui::ShowMessage(IDS_NO_THREAT);
        return;
    }
    if (ui::ShowMessage(IDS_CONFIRM_DELETE_ALL, MB_OKCANCEL) != IDOK || m_deleteAllRunning) return;

    // The thread's own copy of the rows as they stand when the user agreed.
    m_deleteAllJob.page = Hwnd();
    m_deleteAllJob.generation = m_generation;
    m_deleteAllJob.nextRow = 0;
    m_deleteAllJob.paths.clear();
    for (int row = 0, rows = m_list.GetItemCount(); row < rows; ++row)
        m_deleteAllJob.paths.push_back(m_list.GetItemText(row, 0));

    // Disabled before the thread starts, so no second deletion can begin
    // while its first message is still open.
    m_deleteAllRunning = true;
    m_stopRequested = false;
    EnableButtons(false);
    if (!StartWorker(DeleteAllThreadProc)) OnDeleteAllDone();
}

unsigned ShieldPage::DeleteAllThreadProc(ShieldPage* page) {
    // The paths are only read here until OnDeleteAllDone lets a new job be set.
    const HWND window = page->m_deleteAllJob.page;
    const std::vector<std::string>& paths = page->m_deleteAllJob.paths;
    if (!page->m_stopRequested) ui::ShowMessage(IDS_PLEASE_WAIT);
    size_t worked = 0;
    for (size_t row = 0; row < paths.size(); ++row) {
        // Refused once a root scan has replaced the rows or the page is closing.
        if (!SendMessageA(window, WM_SHIELD_CLAIM_ROW, row, 0)) break;
        UINT state = DeleteFinding(paths[row], false);
        SendMessageA(window, WM_SHIELD_ROW_STATE, row, state);
        ++worked;
    }
    bool closing = page->m_stopRequested;
    SendMessageA(window, WM_SHIELD_DELETE_ALL_DONE, 0, 0);
    // Only when it did delete: after a rescan superseded every row there is
    // nothing to re-plug for.
    if (!closing && worked > 0) ui::ShowMessage(IDS_REPLUG_USB);
    return 0;
}

bool ShieldPage::OnClaimRow(size_t row) {
    // Rows are claimed in order, one at a time, by the job's own thread.
    DeleteAllJob& job = m_deleteAllJob;
    if (!m_deleteAllRunning || m_rowInHand >= 0 || row != job.nextRow || row >= job.paths.size()) return false;
    if (job.generation != m_generation || m_stopRequested) return false;
    // A root scan now waits until this row's state comes back.
    m_rowInHand = static_cast<int>(row);
    ++job.nextRow;
    return true;
}

void ShieldPage::OnRowState(size_t row, UINT stateId) {
    if (m_rowInHand < 0 || row != static_cast<size_t>(m_rowInHand)) return;
    if (stateId != IDS_DELETED && stateId != IDS_DELETE_FAILED) return;
    m_rowInHand = -1;
    if (m_deleteAllJob.generation == m_generation) m_list.SetItemText(static_cast<int>(row), 1, ui::LoadString(stateId));
}

void ShieldPage::OnDeleteAllDone() {
    if (!m_deleteAllRunning) return;
    m_deleteAllRunning = false;
    m_rowInHand = -1;
    EnableButtons(true);
}

void ShieldPage::OnStopWorkers() {
    m_stopRequested = true;
}

LRESULT ShieldPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SHIELD_CLAIM_ROW:
        return OnClaimRow(static_cast<size_t>(wParam));
    case WM_SHIELD_ROW_STATE:
        OnRowState(static_cast<size_t>(wParam), static_cast<UINT>(lParam));
        return 0;
    case WM_SHIELD_DELETE_ALL_DONE:
        OnDeleteAllDone();
        return 0;
    }
    return Dialog::WindowProc(msg, wParam, lParam);
}
