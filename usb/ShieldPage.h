// The resident shield page: what the root check of the USB drives found, and
// the deletion of those files through the quarantine.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Guards.h"

class ShieldPage : public ui::Dialog {
public:
    ShieldPage();
    ~ShieldPage() override;

    // Lists every .inf file and every hidden file of a risky type in the root
    // folders of the drives `letters[0..count-1]`, drive by drive, each as
    // "Risky", and sets the status line. The caller empties the list first.
    // False, doing nothing, when `letters` is null or `count` is not positive.
    // A delete-all that is still running ends with the file it is working on:
    // the rows it came from are gone.
    bool ScanDriveRoots(const char* letters, int count);

    // Button handlers: delete the selected finding; delete all findings on a
    // worker thread.
    void OnDelete();
    void OnDeleteAll();

    // For the main window and the tests.
    ui::ListView& Findings() { return m_list; }
    std::string StatusText() const { return m_status.GetText(); }
    HWND DeleteButton() const { return m_btnDelete.Hwnd(); }
    HWND DeleteAllButton() const { return m_btnDeleteAll.Hwnd(); }
    // True until the delete-all thread has shown its last message and ended.
    bool IsDeletingAll() { return RunningWorkers() > 0; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnStopWorkers() override;

private:
    // What a delete-all works on: its own copy of the paths of the rows, the
    // scan they came from and the next row it may claim.
    struct DeleteAllJob {
        HWND page = nullptr;
        unsigned generation = 0;
        size_t nextRow = 0;
        std::vector<std::string> paths;
    };

    static unsigned DeleteAllThreadProc(ShieldPage* page);
    void EnableButtons(bool enable);
    // UI-thread halves of the delete-all thread's steps.
    bool OnClaimRow(size_t row);
    void OnRowState(size_t row, UINT stateId);
    void OnDeleteAllDone();

    ui::ListView m_list;
    ui::Static m_status;
    ImageButton m_btnDelete;
    ImageButton m_btnDeleteAll;
    ImageButton m_btnEmblem;
    ui::ScopedFont m_statusFont;
    // Texts of the root check, loaded once.
    std::string m_riskyText;
    std::string m_threatsFoundFormat;
    std::string m_noThreatText;

    // Counts root scans; rows belong to the scan that made them. UI thread only.
    unsigned m_generation = 0;
    // Set from OnDeleteAll until the thread's last row is done. UI thread only.
    bool m_deleteAllRunning = false;
    DeleteAllJob m_deleteAllJob;
    // The row whose file the delete-all thread has in hand, or -1. UI thread only.
    int m_rowInHand = -1;
    std::atomic<bool> m_stopRequested{false};
};
