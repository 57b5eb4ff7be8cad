// The short "Resident Shield is active" pop-up above the taskbar at start-up.
#pragma once
#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Dialog.h"

class StatusPopup : public ui::Dialog {
public:
    static const UINT_PTR HIDE_TIMER = 1;
    static const UINT HIDE_AFTER_MS = 3000;

    StatusPopup() : Dialog(IDD_STATUS_POPUP) {}

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR timerId) override;
    void OnPaint() override;

private:
    ImageButton m_btnState;
    UINT_PTR m_nTimer = 0;
};

// The update notice: created hidden at start-up; nothing fills or shows it
// yet. Its update button starts the updater as the tray's update command does.
class UpdateNoticeDialog : public ui::Dialog {
public:
    UpdateNoticeDialog();

protected:
    void OnOK() override {}  // its Enter key does nothing
};
