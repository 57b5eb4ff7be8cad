// The main window at 96, 120 and 144 DPI. Wine reads the DPI once, when a
// process starts, from LogPixels under HKCU\Control Panel\Desktop. So a
// resolution other than this process's own is tested in a child process: the
// value is set, the child started, and the value put back as soon as the child
// runs. That is why these suites run alone (ctest entry app_dpi, RUN_SERIAL)
// and skip themselves elsewhere.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "tests/common/TestSupport.h"
#include "ui/Controls.h"
#include "ui/Dpi.h"
#include "ui/Guards.h"

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";
const char kChildDpiVariable[] = "VX_DPI_CHILD";
const char kChildEventVariable[] = "VX_DPI_CHILD_EVENT";

int ChildDpi() {
    const char* value = getenv(kChildDpiVariable);
    return value ? atoi(value) : 0;
}

// While alive, LogPixels holds `dpi`; then it is as it was.
class LogPixelsOverride {
public:
    explicit LogPixelsOverride(DWORD dpi) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key.Out(),
                            nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof m_saved;
        m_hadValue = RegQueryValueExA(m_key, "LogPixels", nullptr, &m_savedType, reinterpret_cast<BYTE*>(&m_saved),
                                      &size) == ERROR_SUCCESS;
        m_savedSize = size;
        m_set = RegSetValueExA(m_key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
                ERROR_SUCCESS;
    }
    ~LogPixelsOverride() { Restore(); }
    LogPixelsOverride(const LogPixelsOverride&) = delete;
    LogPixelsOverride& operator=(const LogPixelsOverride&) = delete;

    bool Set() const { return m_set; }
    void Restore() {
        if (!m_set) return;
        m_set = false;
        if (m_hadValue) {
            RegSetValueExA(m_key, "LogPixels", 0, m_savedType, reinterpret_cast<const BYTE*>(&m_saved), m_savedSize);
        } else {
            RegDeleteValueA(m_key, "LogPixels");
        }
    }

private:
    ui::ScopedRegKey m_key;
    bool m_set = false;
    bool m_hadValue = false;
    DWORD m_saved = 0;
    DWORD m_savedType = REG_DWORD;
    DWORD m_savedSize = 0;
};

std::string ReadWholeFile(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

// Runs the current test again in a child process at `dpi` and fails when the
// child fails, with its output.
void RunCurrentTestInChildAt(int dpi) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string command = std::string("\"") + module + "\" --gtest_filter=" + filter;

    char eventName[64];
    wsprintfA(eventName, "VantorixDpiChildStarted%lu", GetCurrentProcessId());
    ui::ScopedHandle started(CreateEventA(nullptr, TRUE, FALSE, eventName));
    ASSERT_TRUE(started.Valid());

    char tempFolder[MAX_PATH], outputPath[MAX_PATH];
    GetTempPathA(sizeof tempFolder, tempFolder);
    GetTempFileNameA(tempFolder, "dpi", 0, outputPath);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    ui::ScopedFile output(CreateFileA(outputPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(output.Valid());

    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = output;
    start.hStdError = output;
    PROCESS_INFORMATION child = {};
    char dpiText[16];
    wsprintfA(dpiText, "%d", dpi);
    {
        LogPixelsOverride logPixels(static_cast<DWORD>(dpi));
        ASSERT_TRUE(logPixels.Set());
        SetEnvironmentVariableA(kChildDpiVariable, dpiText);
        SetEnvironmentVariableA(kChildEventVariable, eventName);
        BOOL created = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                                      &child);
        SetEnvironmentVariableA(kChildDpiVariable, nullptr);
        SetEnvironmentVariableA(kChildEventVariable, nullptr);
        ASSERT_TRUE(created) << command;
        // The child has read the DPI once its test runs; no other program
        // should see the value longer than that.
        HANDLE startedOrEnded[] = {started, child.hProcess};
        WaitForMultipleObjects(2, startedOrEnded, FALSE, 60000);
    }
    ui::ScopedHandle process(child.hProcess), thread(child.hThread);
    DWORD waited = WaitForSingleObject(process, 120000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process, 1);
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << "the child at " << dpi << " DPI hung";
    EXPECT_EQ(0u, code) << "at " << dpi << " DPI:\n" << ReadWholeFile(output);
}

// Each test runs at the DPI of its parameter: here, or in a child.
class DpiTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!getenv("VX_DPI_TESTS") && !ChildDpi()) GTEST_SKIP() << "runs in the app_dpi ctest entry";
        if (const char* eventName = getenv(kChildEventVariable)) {
            ui::ScopedHandle started(OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName));
            if (started) SetEvent(started);
        }
    }

    // True when the test is to run in this process.
    bool RunsHere() {
        if (ui::SystemDpi() == GetParam()) return true;
        EXPECT_EQ(0, ChildDpi()) << "Wine did not take LogPixels " << GetParam() << "; the system DPI is "
                                 << ui::SystemDpi();
        if (ChildDpi() == 0) RunCurrentTestInChildAt(GetParam());
        return false;
    }

    static int Scaled(int pixels) { return MulDiv(pixels, GetParam(), 96); }

    // The main window as it starts, then shown for the pictures.
    void OpenMainWindow() {
        ASSERT_TRUE(dialog.Create(nullptr));
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
        ShowWindow(dialog.Hwnd(), SW_SHOW);
    }
    void TearDown() override {
        if (dialog.Hwnd()) dialog.DestroyWindow();
    }

    std::string Picture(const char* what) {
        vxtest::PumpFor(300);
        return vxtest::SaveScreenshot(dialog.Hwnd(), std::string(what) + "_" + std::to_string(GetParam()) + "dpi");
    }

    MainDialog dialog;
};

RECT ScreenRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

RECT ClientOnScreen(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(HWND control) {
    char className[64] = "";
    GetClassNameA(control, className, sizeof className);
    std::string text = ui::GetWindowTextString(control);
    if (text.size() > 30) text = text.substr(0, 30) + "...";
    std::ostringstream out;
    out << "control " << static_cast<int>(static_cast<short>(GetDlgCtrlID(control))) << " (" << className << " \""
        << text << "\")";
    return out.str();
}

std::string Describe(const RECT& r) {
    std::ostringstream out;
    out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return out.str();
}

bool IsPage(HWND window) {
    char className[8] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

// Every visible control directly on `parent` that is not inside `area`. The
// pages are not controls: what shows of them is the area they are checked in.
std::vector<std::string> ControlsOutside(HWND parent, const RECT& area) {
    std::vector<std::string> outside;
    for (HWND control = GetWindow(parent, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) || IsPage(control)) continue;
        RECT r = ScreenRect(control);
        if (!Inside(r, area)) outside.push_back(Describe(control) + " at " + Describe(r) + " sticks out of " + Describe(area));
    }
    return outside;
}

TEST_P(DpiTest, WindowPageAreaColumnsAndStatusFontFollowTheDpi) {
    if (!RunsHere()) return;
    OpenMainWindow();
    RECT window = ScreenRect(dialog.Hwnd());
    EXPECT_EQ(Scaled(755), window.right - window.left);
    EXPECT_EQ(Scaled(550), window.bottom - window.top);
    for (int page : {PAGE_INFO, PAGE_SHIELD, PAGE_REPAIR}) {
        dialog.ShowPage(page);
        RECT placed = ScreenRect(dialog.Page(page)->Hwnd());
        MapWindowPoints(nullptr, dialog.Hwnd(), reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_EQ(0, placed.left) << page;
        EXPECT_EQ(Scaled(90), placed.top) << page;
        EXPECT_EQ(Scaled(750), placed.right - placed.left) << page;
        EXPECT_EQ(Scaled(450), placed.bottom - placed.top) << page;
    }

    HWND list = dialog.Shield().Findings().Hwnd();
    EXPECT_EQ(Scaled(600), SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(Scaled(135), SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog.Shield().Item(IDC_SHIELD_STATUS), WM_GETFONT, 0, 0));
    LOGFONTA status = {};
    ASSERT_EQ(static_cast<int>(sizeof status), GetObjectA(font, sizeof status, &status));
    EXPECT_EQ(Scaled(20), status.lfHeight);
    EXPECT_EQ(Scaled(10), status.lfWidth);

    dialog.ShowPage(PAGE_SHIELD);
    EXPECT_NE("", Picture("main_window"));
}

TEST_P(DpiTest, EveryVisibleControlOfEveryPageLiesInsideTheShownPage) {
    if (!RunsHere()) return;
    OpenMainWindow();
    const RECT client = ClientOnScreen(dialog.Hwnd());
    for (const std::string& problem : ControlsOutside(dialog.Hwnd(), client))
        ADD_FAILURE() << "main window: " << problem;

    for (int page = PAGE_INFO; page <= PAGE_QUARANTINE; ++page) {
        dialog.ShowPage(page);
        HWND pageWindow = dialog.Page(page)->Hwnd();
        ASSERT_NE(nullptr, pageWindow) << page;
        // What the window shows of the page: its rectangle within the client area.
        const RECT placed = ScreenRect(pageWindow);
        RECT shown;
        IntersectRect(&shown, &client, &placed);
        for (const std::string& problem : ControlsOutside(pageWindow, shown))
            ADD_FAILURE() << "page " << page << " (template " << dialog.Page(page)->TemplateId() << "): " << problem;
        if (page == PAGE_INFO) {
            EXPECT_NE("", Picture("info_page"));
        } else if (page == PAGE_REPAIR) {
            EXPECT_NE("", Picture("repair_page"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, DpiTest, testing::Values(96, 120, 144),
                         [](const testing::TestParamInfo<int>& info) { return "At" + std::to_string(info.param); });

}  // namespace
