// The USB tools page: immunity and safe removal, one button each, with two
// read-only texts that explain them. It holds no state; every operation runs
// on the UI thread.
#pragma once
#include <windows.h>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"

class ToolsPage : public ui::Dialog {
public:
    ToolsPage() : Dialog(IDD_PAGE_TOOLS) {}

    // Button handlers, also run by the tray menu's commands.
    void OnAcquireImmunity();
    void OnCancelImmunity();
    void OnSafelyRemove();

    // For the tests.
    ImageButton& ImmunizeButton() { return m_btnImmunize; }
    ImageButton& CancelImmunityButton() { return m_btnCancelImmunity; }
    ImageButton& SafeRemoveButton() { return m_btnSafeRemove; }
    std::string ImmunityText() const { return m_immunityText.GetText(); }
    std::string RemovalText() const { return m_removalText.GetText(); }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnPaint() override;

private:

    ImageButton m_btnImmunize;
    ImageButton m_btnCancelImmunity;
    ImageButton m_btnSafeRemove;
    ui::Edit m_immunityText;
    ui::Edit m_removalText;
};
