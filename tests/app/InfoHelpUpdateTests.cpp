#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "app/GuardApp.h"
#include "app/InfoPage.h"
#include "app/MainDialog.h"
#include "app/Vendor.h"
#include "tests/common/TestSupport.h"
#include "ui/App.h"
#include "ui/Controls.h"
#include "ui/Strings.h"

namespace {

const char* const kUpdaterTestFolder = "C:\\Program Files\\Vantorix Test\\";

std::string TestProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, strrchr(path, '\\') + 1);
}

std::string Recorder() { return TestProgramFolder() + "fixtures\\CommandRecorder.exe"; }

bool IsUnderlined(HWND label) {
    LOGFONTA description = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), sizeof description, &description);
    return description.lfUnderline != 0;
}

// While alive, help files open with the command recorder.
class HelpFileClass {
public:
    HelpFileClass() {
        char data[260] = {};
        LONG size = sizeof data;
        m_hadOld = RegQueryValueA(HKEY_CLASSES_ROOT, ".chm", data, &size) == ERROR_SUCCESS;
        m_old = data;
        Set(".chm", kClass);
        Set(std::string(kClass) + "\\shell\\open\\command", "\"" + Recorder() + "\" \"%1\"");
        DeleteFileA(Log().c_str());
    }
    ~HelpFileClass() {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kClass);
        if (m_hadOld)
            Set(".chm", m_old);
        else
            SHDeleteKeyA(HKEY_CLASSES_ROOT, ".chm");
        DeleteFileA(Log().c_str());
    }
    static std::string Log() { return Recorder() + ".log"; }

private:
    static constexpr const char* kClass = "VantorixTest.chm";
    static void Set(const std::string& key, const std::string& value) {
        RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }
    bool m_hadOld = false;
    std::string m_old;
};

// The main window, modeless, on the Information page with no USB drive present.
class InfoPageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.Create(nullptr));
        vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); });
        dialog.ShowPage(PAGE_INFO);
        page = static_cast<InfoPage*>(dialog.Page(PAGE_INFO));
    }
    void TearDown() override {
        dialog.DestroyWindow();
        SetCursorPos(0, 0);
    }
    HWND Item(int id) { return GetDlgItem(page->Hwnd(), id); }

    vxtest::DosDeviceOverride noE{'E'};
    vxtest::DosDeviceOverride noF{'F'};
    MainDialog dialog;
    InfoPage* page = nullptr;
};

TEST_F(InfoPageTest, EveryControlHasItsTextImageAndTooltip) {
    HWND features = Item(IDC_INFO_FEATURES);
    EXPECT_EQ(ui::LoadString(IDS_KEY_FEATURES), ui::GetWindowTextString(features));
    EXPECT_EQ(0u, ui::GetWindowTextString(features).find("Key features:\r\n1. Vantorix provides 100% protection"));
    LONG style = GetWindowLongA(features, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(ES_MULTILINE | ES_READONLY | WS_VSCROLL), style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL));
    // The dialog manager draws an edit's border as a sunken edge.
    EXPECT_TRUE((style & WS_BORDER) || (GetWindowLongA(features, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));

    ImageButton& state = page->StateButton();
    EXPECT_EQ("Active", ui::GetWindowTextString(state));
    EXPECT_NE(nullptr, state.Bitmap(0)) << "the shield picture";
    EXPECT_EQ(nullptr, state.Bitmap(1)) << "one picture for every state";
    EXPECT_EQ(1, state.ImagePlacement());
    EXPECT_EQ("Resident Shield is active", vxtest::ToolTipText(vxtest::LetMouseReach(state), state));

    ImageButton& help = page->HelpButton();
    EXPECT_NE(nullptr, help.Icon(0)) << "the help icon";
    EXPECT_EQ(nullptr, help.Icon(1));
    EXPECT_EQ(0, help.ImagePlacement());
    EXPECT_EQ("Read the document", vxtest::ToolTipText(vxtest::LetMouseReach(help), help));
    EXPECT_TRUE(SendMessageA(help, WM_SETCURSOR, reinterpret_cast<WPARAM>(help.Hwnd()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)))
        << "the hand pointer";

    ImageButton& logo = page->LogoButton();
    EXPECT_NE(nullptr, logo.Bitmap(0)) << "the product picture";
    EXPECT_EQ(nullptr, logo.Bitmap(1));

    struct Link {
        HyperlinkLabel* label;
        const char* text;
        const char* target;
    };
    const Link links[] = {{&page->WebLink(), "Vantorix web site", vendor::WEB_SITE},
                          {&page->MailLink(), "Mail to support", vendor::SUPPORT_MAIL}};
    for (const Link& link : links) {
        SCOPED_TRACE(link.text);
        EXPECT_EQ(link.text, ui::GetWindowTextString(*link.label));
        EXPECT_EQ(link.target, link.label->Target());
        EXPECT_EQ(link.target, vxtest::ToolTipText(vxtest::LetMouseReach(*link.label), *link.label));
        EXPECT_EQ(HyperlinkLabel::UNDERLINE_ALWAYS, link.label->UnderlineMode());
        EXPECT_TRUE(IsUnderlined(*link.label));
    }
    EXPECT_EQ(0u, page->MailLink().Target().find("mailto:"));
}

TEST_F(InfoPageTest, ScreenshotOfTheInformationPage) {
    dialog.OnTrayShow();
    dialog.ShowPage(PAGE_INFO);
    vxtest::PumpFor(300);
    EXPECT_FALSE(vxtest::SaveScreenshot(dialog.Hwnd(), "info_page").empty());
}

TEST_F(InfoPageTest, TheHelpButtonAndF1OnEveryPageOpenTheHelpFileBesideTheProgram) {
    HelpFileClass helpClass;
    ui::App app;
    app.SetMainWindow(&dialog);
    std::string expected = "\"" + Recorder() + "\" \"" + TestProgramFolder() + "Vantorix.chm\"";
    ASSERT_TRUE(vxtest::FileExists(TestProgramFolder() + "Vantorix.chm")) << "the build puts it beside the program";

    dialog.OnTrayShow();
    dialog.ShowPage(PAGE_INFO);
    vxtest::PumpFor(100);
    POINT centre = vxtest::CentreOf(page->HelpButton());
    ASSERT_TRUE(vxtest::MoveMouseUntil(centre, [&] { return page->HelpButton().IsHovering(); }));
    vxtest::SendMouse(MOUSEEVENTF_LEFTDOWN, centre);
    vxtest::SendMouse(MOUSEEVENTF_LEFTUP, centre);
    EXPECT_EQ(std::vector<std::string>{expected}, vxtest::ReadLinesWhenThere(HelpFileClass::Log(), 1)) << "the help button";

    std::vector<std::string> lines(1, expected);
    for (int shown = PAGE_INFO; shown <= PAGE_QUARANTINE; ++shown) {
        SCOPED_TRACE("page " + std::to_string(shown));
        dialog.ShowPage(shown);
        SetForegroundWindow(dialog.Hwnd());
        HWND page = dialog.Page(shown)->Hwnd();
        HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
        SetFocus(first ? first : page);
        vxtest::PumpFor(50);
        vxtest::PressKey(VK_F1);
        lines.push_back(expected);
        EXPECT_EQ(lines, vxtest::ReadLinesWhenThere(HelpFileClass::Log(), lines.size()))
            << "F1; foreground " << GetForegroundWindow() << " (the window " << dialog.Hwnd() << "), focus "
            << GetFocus() << " (first control " << first << ")";
    }
    app.SetMainWindow(nullptr);
    EXPECT_TRUE(vxtest::ShownMessages().empty());
}

// The main window, run modally as the program runs it, hidden in the
// notification area, from a folder without the updater.
TEST(UpdateLauncher, WithoutTheUpdaterTheNoticeThenNotFoundFromTheTrayWithTheWindowHiddenAndTheProgramRuns) {
    ASSERT_FALSE(vxtest::FileExists(TestProgramFolder() + "Tindrel.exe"));
    MainDialog dialog;
    vxtest::RunInsideModalLoop([&] { dialog.DoModal(); }, [&] {
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
        vxtest::ExpectMessage(ui::LoadString(IDS_UPDATE_QUIT));
        vxtest::ExpectMessage("Update program not found!");
        PostMessageA(dialog.Hwnd(), WM_COMMAND, ID_TRAY_UPDATE, 0);
        vxtest::PumpUntil([] { return vxtest::ShownMessages().size() == 2; });
        vxtest::PumpFor(100);
        EXPECT_EQ(2u, vxtest::ShownMessages().size());
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd())) << "the window stays hidden";
        EXPECT_TRUE(dialog.IsModal()) << "the program keeps running";
        EXPECT_TRUE(vxtest::TrayIconPresent(dialog.Hwnd()));
        dialog.OnTrayExit();
    });
}

TEST(UpdateLauncher, TheUpdateNoticeButtonRunsTheSameStepsAndItsEnterKeyDoesNothing) {
    UpdateNoticeDialog notice;
    ASSERT_TRUE(notice.Create(nullptr));
    EXPECT_FALSE(IsWindowVisible(notice.Hwnd())) << "created hidden";
    SendMessageA(notice.Hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(notice.Hwnd()));
    EXPECT_TRUE(vxtest::ShownMessages().empty()) << "Enter does nothing";
    vxtest::ExpectMessage(ui::LoadString(IDS_UPDATE_QUIT));
    vxtest::ExpectMessage("Update program not found!");
    SendMessageA(notice.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_UPDATE_NOW, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(notice.Hwnd(), IDC_UPDATE_NOW)));
    EXPECT_EQ(2u, vxtest::ShownMessages().size());
    EXPECT_TRUE(IsWindow(notice.Hwnd()));
}

// ---- the program itself, copied into a folder whose path holds a space

// The settings key with the first-start question already answered.
class AnsweredSettings {
public:
    AnsweredSettings() {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
            RegCloseKey(key);
        }
    }
    ~AnsweredSettings() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_PATH); }
};

struct ProcessWindows {
    DWORD process;
    std::vector<HWND> found;
};

std::vector<HWND> TopLevelWindowsOf(DWORD process) {
    ProcessWindows search = {process, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<ProcessWindows*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->process) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of a dialog's static controls, joined.
std::string StaticTexts(HWND dialog) {
    std::string texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0) texts += ui::GetWindowTextString(child);
    }
    return texts;
}

class ProgramWithSpaceInItsPath : public testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryA(kUpdaterTestFolder, nullptr);
        ASSERT_TRUE(CopyFileA((TestProgramFolder() + "Vantorix.exe").c_str(), Program().c_str(), FALSE));
        // What an unquoted updater path would start first.
        ASSERT_TRUE(CopyFileA(Recorder().c_str(), kPlanted, FALSE));
        DeleteFileA(PlantedLog().c_str());
    }
    void TearDown() override {
        if (m_process.hProcess) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 5000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        vxtest::EmptyFolder(kUpdaterTestFolder);
        RemoveDirectoryA(kUpdaterTestFolder);
        DeleteFileA(kPlanted);
        DeleteFileA(PlantedLog().c_str());
    }

    static std::string Program() { return std::string(kUpdaterTestFolder) + "Vantorix.exe"; }
    static std::string Updater() { return std::string(kUpdaterTestFolder) + "Tindrel.exe"; }
    static std::string UpdaterLog() { return Updater() + ".log"; }
    static std::string PlantedLog() { return std::string(kPlanted) + ".log"; }
    void AddUpdater() { ASSERT_TRUE(CopyFileA(Recorder().c_str(), Updater().c_str(), FALSE)); }

    // Starts the copy and waits until it has settled hidden in the notification area.
    void Start() {
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        std::string command = "\"" + Program() + "\"";
        ASSERT_TRUE(CreateProcessA(Program().c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   kUpdaterTestFolder, &start, &m_process));
        ASSERT_TRUE(vxtest::PumpUntil([&] { return (m_main = MainWindow()) != nullptr; }, 20000));
        WaitForInputIdle(m_process.hProcess, 20000);
        // The window is found from its creation on; it shows once its
        // initialisation is over, then settles hidden in the tray.
        vxtest::PumpUntil([&] { return IsWindowVisible(m_main) != FALSE; }, 2000);
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(m_main); }, 20000));
    }
    HWND MainWindow() {
        for (HWND window : TopLevelWindowsOf(m_process.dwProcessId))
            if (GetPropA(window, "Vantorix")) return window;
        return nullptr;
    }
    // The program's visible message box that says `text`.
    HWND WaitForMessageBox(const std::string& text) {
        HWND box = nullptr;
        vxtest::PumpUntil(
            [&] {
                for (HWND window : TopLevelWindowsOf(m_process.dwProcessId)) {
                    char cls[16] = {};
                    GetClassNameA(window, cls, sizeof cls);
                    if (IsWindowVisible(window) && lstrcmpA(cls, "#32770") == 0 && StaticTexts(window) == text &&
                        ui::GetWindowTextString(window) == "Vantorix") {
                        box = window;
                        return true;
                    }
                }
                return false;
            },
            15000);
        EXPECT_NE(nullptr, box) << "no message box \"" << text << "\"";
        return box;
    }
    bool Ended(DWORD* code) {
        if (WaitForSingleObject(m_process.hProcess, 15000) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(m_process.hProcess, code);
        return true;
    }
    HWND InfoPageWindow() {
        for (HWND child = FindWindowExA(m_main, nullptr, "#32770", nullptr); child;
             child = FindWindowExA(m_main, child, "#32770", nullptr))
            if (GetDlgItem(child, IDC_INFO_LOGO)) return child;
        return nullptr;
    }
    HWND UpdateNotice() {
        for (HWND window : TopLevelWindowsOf(m_process.dwProcessId))
            if (ui::GetWindowTextString(window) == "Vantorix Web Check") return window;
        return nullptr;
    }

    // Asks for the update through `request`, answers the notice, and checks
    // that the updater got exactly its four fields and the program ended.
    void UpdateThrough(const std::function<void()>& request) {
        AddUpdater();
        DeleteFileA(UpdaterLog().c_str());
        Start();
        request();
        HWND notice = WaitForMessageBox(ui::LoadString(IDS_UPDATE_QUIT));
        ASSERT_NE(nullptr, notice);
        EXPECT_FALSE(vxtest::FileExists(UpdaterLog())) << "the notice comes before the updater starts";
        EXPECT_FALSE(IsWindowVisible(m_main)) << "the window stays hidden";
        PostMessageA(notice, WM_COMMAND, IDOK, 0);

        std::string expected = "\"" + Updater() + "\" Vantorix 5.0.0.90 https://update.vantorix.example/update/update.ini";
        std::vector<std::string> lines = vxtest::ReadLinesWhenThere(UpdaterLog(), 1);
        EXPECT_EQ(std::vector<std::string>{expected}, lines);
        if (lines.size() == 1) {
            int count = 0;
            std::wstring wide(lines[0].begin(), lines[0].end());
            LPWSTR* fields = CommandLineToArgvW(wide.c_str(), &count);
            ASSERT_EQ(4, count) << "the updater's path, the product, the version, the manifest's address";
            EXPECT_EQ(std::wstring(L"Vantorix"), fields[1]);
            EXPECT_EQ(std::wstring(L"5.0.0.90"), fields[2]);
            EXPECT_EQ(std::wstring(L"https://update.vantorix.example/update/update.ini"), fields[3]);
            LocalFree(fields);
        }
        EXPECT_FALSE(vxtest::FileExists(PlantedLog())) << "C:\\Program.exe must never start";
        DWORD code = 1;
        ASSERT_TRUE(Ended(&code)) << "the program ends once the updater runs";
        EXPECT_EQ(0u, code);
        EXPECT_FALSE(vxtest::TrayIconPresent(m_main)) << "the icon goes with the program";
    }

    static constexpr const char* kPlanted = "C:\\Program.exe";
    AnsweredSettings m_settings;
    PROCESS_INFORMATION m_process = {};
    HWND m_main = nullptr;
};

TEST_F(ProgramWithSpaceInItsPath, TrayUpdateWithTheWindowHiddenStartsTheUpdaterWithItsFourFieldsAndEnds) {
    UpdateThrough([&] {
        ASSERT_TRUE(vxtest::TrayIconPresent(m_main));
        PostMessageA(m_main, WM_COMMAND, ID_TRAY_UPDATE, 0);
    });
}

TEST_F(ProgramWithSpaceInItsPath, TheUpdateNoticeButtonStartsTheUpdaterAndEndsTheProgram) {
    UpdateThrough([&] {
        HWND notice = UpdateNotice();
        ASSERT_NE(nullptr, notice);
        EXPECT_FALSE(IsWindowVisible(notice));
        PostMessageA(notice, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_NOW, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(notice, IDC_UPDATE_NOW)));
    });
}

TEST_F(ProgramWithSpaceInItsPath, WithoutTheHelpFileTheHelpButtonSaysDocumentNotFound) {
    ASSERT_FALSE(vxtest::FileExists(std::string(kUpdaterTestFolder) + "Vantorix.chm"));
    Start();
    HWND info = InfoPageWindow();
    ASSERT_NE(nullptr, info);
    PostMessageA(info, WM_COMMAND, MAKEWPARAM(IDC_INFO_HELP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(info, IDC_INFO_HELP)));
    HWND box = WaitForMessageBox("Document not found");
    ASSERT_NE(nullptr, box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindow(box); }));
    DWORD code = 0;
    EXPECT_FALSE(WaitForSingleObject(m_process.hProcess, 200) == WAIT_OBJECT_0) << "the program keeps running";
    PostMessageA(m_main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_TRUE(Ended(&code));
}

}  // namespace
