#include "app/InfoPage.h"

#include <shellapi.h>

#include <vector>

#include "app/MainDialog.h"
#include "app/Vendor.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const char* const kHelpDocument = "Vantorix.chm";
const char* const kUpdater = "Tindrel.exe";

}  // namespace

InfoPage::InfoPage() : Dialog(IDD_PAGE_INFO) {
    OnCommandId(IDC_INFO_HELP, [] { OpenHelpDocument(); });
}

void InfoPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_INFO_FEATURES, m_editFeatures);
    dx.Control(IDC_INFO_MAIL_LINK, m_linkMail);
    dx.Control(IDC_INFO_WEB_LINK, m_linkWeb);
}

BOOL InfoPage::OnInitDialog() {
    Dialog::OnInitDialog();
    std::string shieldActive = ui::LoadString(IDS_SHIELD_ACTIVE);
    std::string stateActive = ui::LoadString(IDS_STATE_ACTIVE);

    m_btnState.SubclassDlgItem(IDC_INFO_STATE, Hwnd());
    m_btnState.LoadBitmapPair(IDB_SHIELD_ACTIVE, kWhite, 0, kWhite);
    m_btnState.SetImagePlacement(1);
    m_btnState.SetTipText(shieldActive.c_str(), true);
    m_btnState.EnableHoverFrame(false);
    SetWindowTextA(m_btnState.Hwnd(), stateActive.c_str());

    m_btnHelp.SubclassDlgItem(IDC_INFO_HELP, Hwnd());
    m_btnHelp.LoadIconPair(IDI_HELP, 0);
    m_btnHelp.SetImagePlacement(0);
    m_btnHelp.SetTipText(ui::LoadString(IDS_TIP_HELP).c_str(), true);
    m_btnHelp.EnableHoverFrame(false);
    m_btnHelp.SetPointerCursor(IDCUR_HAND);

    m_linkMail.SetTarget(vendor::SUPPORT_MAIL);
    m_linkMail.SetUnderlineMode(HyperlinkLabel::UNDERLINE_ALWAYS);
    m_linkWeb.SetTarget(vendor::WEB_SITE);
    m_linkWeb.SetUnderlineMode(HyperlinkLabel::UNDERLINE_ALWAYS);

    m_editFeatures.SetText(ui::LoadString(IDS_KEY_FEATURES));

    m_btnLogo.SubclassDlgItem(IDC_INFO_LOGO, Hwnd());
    m_btnLogo.LoadBitmapPair(IDB_LOGO, kWhite, 0, kWhite);
    m_btnLogo.EnableHoverFrame(false);
    return TRUE;
}

void InfoPage::OnPaint() {
    ui::ScopedPaint paint(Hwnd());  // the controls draw themselves
}

std::string ProgramFolder() {
    char path[256] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    char* lastBackslash = strrchr(path, '\\');
    if (!lastBackslash) return "";
    lastBackslash[1] = '\0';
    return path;
}

void OpenHelpDocument() {
    std::string folder = ProgramFolder();
    INT_PTR result = 0;
    if (!folder.empty())
        result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", (folder + kHelpDocument).c_str(), nullptr, nullptr, SW_SHOW));
    if (result <= 32) ui::ShowMessage(IDS_DOCUMENT_NOT_FOUND, MB_OK);
}

bool LaunchUpdater() {
    std::string version = ui::LoadString(IDS_VERSION);
    std::string notice = ui::LoadString(IDS_UPDATE_QUIT);
    std::string folder = ProgramFolder();
    std::string updater = folder + kUpdater;
    // The updater's path goes quoted and as the program to start: unquoted,
    // a folder such as "C:\Program Files" would let "C:\Program.exe" start first.
    std::string commandLine =
        "\"" + updater + "\" Vantorix " + version + " " + vendor::UpdateManifestAddress();
    ui::ShowMessage(notice, MB_OK);

    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    BOOL started = !folder.empty() && CreateProcessA(updater.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                                     nullptr, nullptr, &start, &process);
    if (!started) {
        ui::ShowMessage(IDS_UPDATER_NOT_FOUND, MB_OK);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (g_pMainDialog) g_pMainDialog->OnTrayExit();
    return true;
}
