// The quarantine page: lists, restores and empties the quarantined files.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"

class QuarantinePage : public ui::Dialog {
public:
    QuarantinePage();
    ~QuarantinePage() override;

    // Button handlers. RefreshList also runs on the empty thread.
    void RefreshList();
    void OnRestore();
    void OnEmpty();

    // For the tests.
    ui::ListView& Quarantined() { return m_listQuarantine; }
    HWND RefreshButton() const { return m_btnRefresh.Hwnd(); }
    HWND RestoreButton() const { return m_btnRestore.Hwnd(); }
    HWND EmptyButton() const { return m_btnEmpty.Hwnd(); }
    const ImageButton& Button(int id) const {
        return id == IDC_QUARANTINE_REFRESH ? m_btnRefresh : id == IDC_QUARANTINE_RESTORE ? m_btnRestore : m_btnEmpty;
    }
    // True until the empty thread has ended.
    bool IsEmptying() { return RunningWorkers() > 0; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnStopWorkers() override { m_bClosing = true; }

private:
    static unsigned EmptyQuarantineThreadProc(QuarantinePage* page);
    void EnableButtons(bool enable);

    ui::ListView m_listQuarantine;
    ImageButton m_btnRefresh;
    ImageButton m_btnRestore;
    ImageButton m_btnEmpty;
    // Set when the page closes: the empty thread ends after its file.
    std::atomic<bool> m_bClosing{false};
};
