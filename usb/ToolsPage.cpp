#include "usb/ToolsPage.h"

#include "controls/PageButton.h"
#include "ui/Guards.h"
#include "ui/Strings.h"
#include "usb/Immunity.h"
#include "usb/SafeRemoval.h"

void ToolsPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_TOOLS_IMMUNITY_TEXT, m_immunityText);
    dx.Control(IDC_TOOLS_REMOVAL_TEXT, m_removalText);
}

BOOL ToolsPage::OnInitDialog() {
    Dialog::OnInitDialog();
    SetUpPageButton(m_btnImmunize, Hwnd(), IDC_TOOLS_IMMUNIZE, IDB_IMMUNIZE, IDS_TIP_IMMUNIZE);
    SetUpPageButton(m_btnCancelImmunity, Hwnd(), IDC_TOOLS_CANCEL_IMMUNITY, IDB_CANCEL_IMMUNITY, IDS_TIP_CANCEL_IMMUNITY);
    SetUpPageButton(m_btnSafeRemove, Hwnd(), IDC_TOOLS_SAFE_REMOVE, IDB_SAFE_REMOVE, IDS_TIP_SAFE_REMOVE);
    m_immunityText.SetText(ui::LoadString(IDS_IMMUNITY_EXPLAINED));
    m_removalText.SetText(ui::LoadString(IDS_REMOVAL_EXPLAINED));

    OnCommandId(IDC_TOOLS_IMMUNIZE, [this] { OnAcquireImmunity(); });
    OnCommandId(IDC_TOOLS_CANCEL_IMMUNITY, [this] { OnCancelImmunity(); });
    OnCommandId(IDC_TOOLS_SAFE_REMOVE, [this] { OnSafelyRemove(); });
    return TRUE;
}

// The page draws nothing of its own: its controls paint themselves.
void ToolsPage::OnPaint() { ui::ScopedPaint paint(Hwnd()); }

void ToolsPage::OnAcquireImmunity() { AcquireImmunityAll(); }

void ToolsPage::OnCancelImmunity() { CancelImmunityAll(); }

void ToolsPage::OnSafelyRemove() { SafelyRemoveUsbDrives(); }
