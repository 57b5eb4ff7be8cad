// The system repair page: registry repair, disk clean-up and timed shutdown.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"

// The countdown's timer on the page's window.
constexpr UINT_PTR SHUTDOWN_TIMER_ID = 2;
// The delay in minutes before the user gives one.
constexpr unsigned DEFAULT_SHUTDOWN_DELAY_MINUTES = 100000;
// Digits the delay entry takes.
constexpr int SHUTDOWN_DELAY_DIGITS = 6;

// The remaining time as hours:minutes:seconds, each number below 10 with a
// leading "0" (05:07:30, 123:00:00).
std::string FormatRemainingTime(unsigned hours, unsigned minutes, unsigned seconds);

// Shuts Windows down by force: on the NT family only with the shutdown
// privilege switched on (and off again afterwards), elsewhere directly.
void ForceShutdown();

class RepairPage : public ui::Dialog {
public:
    RepairPage();
    ~RepairPage() override;

    // Button handlers. The repair and the clean-up ask first, then run on a
    // worker thread with both tool buttons disabled.
    void OnRepairRegistry();
    void OnCleanup();
    void OnStartShutdownTimer();
    void OnCancelShutdownTimer();

    // For the main window and the tests.
    ui::ListView& Results() { return m_list; }
    HWND RepairButton() const { return m_btnRepairRegistry.Hwnd(); }
    HWND CleanupButton() const { return m_btnCleanup.Hwnd(); }
    // True until the repair or clean-up thread has ended.
    bool IsWorking() { return RunningWorkers() > 0; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnTimer(UINT_PTR timerId) override;
    void OnStopWorkers() override { m_closing = true; }

private:
    static unsigned RepairRegistryThread(RepairPage* page);
    static unsigned CleanupThread(RepairPage* page);
    void EnableToolButtons(bool enable);
    // Inserts a result row at m_nRowCount (worker threads).
    void AddResultRow(const std::string& content, UINT stateTextId);
    void CountDownOneSecond();
    void ShowRemainingTime();

    ui::Animation m_animation;
    ui::ListView m_list;
    ImageButton m_btnRepairRegistry;
    ImageButton m_btnCleanup;
    ImageButton m_btnShutdown;
    ImageButton m_btnCancelShutdown;
    // Only the one running repair or clean-up thread uses it.
    int m_nRowCount = 0;
    unsigned m_nDelayMinutes = DEFAULT_SHUTDOWN_DELAY_MINUTES;
    unsigned m_nHours = 0;
    unsigned m_nMinutes = 0;
    unsigned m_nSeconds = 0;
    UINT_PTR m_nTimerId = 0;
    // Set when the window goes: a clean-up that ends then brings nothing forward.
    std::atomic<bool> m_closing{false};
};
