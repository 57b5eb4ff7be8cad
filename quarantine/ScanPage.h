// The thorough scan of every folder of the USB drives, and the deletion of
// what it found through the quarantine.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Guards.h"

class ScanPage : public ui::Dialog {
public:
    ScanPage();
    ~ScanPage() override;

    // Button handlers.
    void OnScan();
    void OnStop();
    void OnDelete();
    void OnDeleteAll();

    // For the tests.
    ui::ListView& Findings() { return m_listThreats; }
    std::string StatusText() const { return m_staticStatus.GetText(); }
    HWND ScanButton() const { return m_btnStartScan.Hwnd(); }
    HWND StopButton() const { return m_btnStopScan.Hwnd(); }
    HWND DeleteButton() const { return m_btnDelete.Hwnd(); }
    HWND DeleteAllButton() const { return m_btnDeleteAll.Hwnd(); }
    HWND AnimationWindow() const { return m_animation.Hwnd(); }
    // True until the scan or delete-all thread has ended.
    bool IsBusy() { return RunningWorkers() > 0; }

    // Appends the findings of the folder tree below `folder` (a drive "E:" or
    // a folder path, without a trailing backslash) to the list, in the order
    // of the scan; returns how many. Stops early once m_bScanning is false.
    int WalkDrive(const std::string& folder);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnStopWorkers() override;

private:
    static unsigned ScanThreadProc(ScanPage* page);
    static unsigned DeleteAllThreadProc(ScanPage* page);
    void EnableWorkButtons(bool enable);
    void AddFinding(const std::string& path);

    ui::Static m_staticStatus;
    ui::ScopedFont m_fontStatus;
    ui::ListView m_listThreats;
    ui::Animation m_animation;
    // True while the scan thread may go on; cleared by stop and on closing.
    std::atomic<bool> m_bScanning{false};
    // Set when the page closes: the delete-all thread ends after its file.
    std::atomic<bool> m_bClosing{false};
    ImageButton m_btnStartScan;
    ImageButton m_btnStopScan;
    ImageButton m_btnDelete;
    ImageButton m_btnDeleteAll;
    // The "Suspicious" text, loaded once for the walk.
    std::string m_suspicious;
    int m_found = 0;
};
