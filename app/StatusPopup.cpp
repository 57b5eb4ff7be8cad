#include "app/StatusPopup.h"

#include "app/InfoPage.h"
#include "ui/Guards.h"
#include "ui/Strings.h"

BOOL StatusPopup::OnInitDialog() {
    Dialog::OnInitDialog();
    std::string active = ui::LoadString(IDS_SHIELD_ACTIVE);
    SetDlgItemTextA(Hwnd(), IDC_POPUP_TEXT, active.c_str());
    m_btnState.SubclassDlgItem(IDC_POPUP_STATE, Hwnd());
    m_btnState.LoadBitmapPair(IDB_SHIELD_ACTIVE, RGB(255, 255, 255), 0, RGB(255, 255, 255));
    m_btnState.SetImagePlacement(1);
    m_btnState.SetTipText(active.c_str(), true);
    m_btnState.EnableHoverFrame(false);
    SetWindowTextA(m_btnState.Hwnd(), ui::LoadString(IDS_STATE_ACTIVE).c_str());
    m_nTimer = SetTimer(Hwnd(), HIDE_TIMER, HIDE_AFTER_MS, nullptr);
    return TRUE;
}

void StatusPopup::OnTimer(UINT_PTR timerId) {
    if (timerId == HIDE_TIMER) {
        KillTimer(Hwnd(), m_nTimer);
        ShowWindow(Hwnd(), SW_HIDE);
    }
    Default();
}

void StatusPopup::OnPaint() {
    ui::ScopedPaint paint(Hwnd());  // nothing to draw beyond the controls
}

UpdateNoticeDialog::UpdateNoticeDialog() : Dialog(IDD_UPDATE_NOTICE) {
    // Once the updater runs, the main window has ended; the notice closes too.
    OnCommandId(IDC_UPDATE_NOW, [this] {
        if (LaunchUpdater()) EndDialog(IDOK);
    });
}
