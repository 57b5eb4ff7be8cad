// The Information page: the shield's state, the key features and the
// vendor's links; and the two actions it offers the whole program, the help
// document and the update launcher.
#pragma once
#include <string>

#include "controls/HyperlinkLabel.h"
#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"

class InfoPage : public ui::Dialog {
public:
    InfoPage();

    HyperlinkLabel& MailLink() { return m_linkMail; }
    HyperlinkLabel& WebLink() { return m_linkWeb; }
    ImageButton& StateButton() { return m_btnState; }
    ImageButton& HelpButton() { return m_btnHelp; }
    ImageButton& LogoButton() { return m_btnLogo; }

protected:
    BOOL OnInitDialog() override;
    void OnPaint() override;
    void DoDataExchange(ui::DataExchange& dx) override;

private:
    ui::Edit m_editFeatures;
    ImageButton m_btnState;
    ImageButton m_btnHelp;
    HyperlinkLabel m_linkMail;
    HyperlinkLabel m_linkWeb;
    ImageButton m_btnLogo;
};

// The program folder: the module path up to and including its last
// backslash; "" when the path cannot be read whole.
std::string ProgramFolder();

// Opens "Vantorix.chm" beside the program; "Document not found" when the
// shell cannot open it.
void OpenHelpDocument();

// Tells the user the program will quit, starts "Tindrel.exe" beside the
// program and, once it runs, ends the main window. True when it started;
// otherwise "Update program not found!" and the program keeps running.
bool LaunchUpdater();
