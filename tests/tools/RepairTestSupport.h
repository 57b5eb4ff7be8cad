// Shared by the repair page's tests: the page in a stand-in for the main
// window, its result rows, and the stand-in for the end of the session (the
// OS family's is vxtest::PlatformStandIn).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/RepairPage.h"
#include "usb/SystemSeams.h"

namespace repairtest {

using Row = std::pair<std::string, std::string>;  // column 0, column 1
std::vector<Row> Rows(ui::ListView& list);

// Whether the named privilege is switched on in this process's token.
bool IsPrivilegeEnabled(const char* name);

// While alive, the end of the session is recorded instead of made, with
// whether the shutdown privilege was on at that moment. (Outside such a
// recorder every call fails the running test.)
struct ExitWindowsCallRecord {
    UINT flags;
    DWORD reason;
    bool shutdownPrivilegeEnabled;
};
class ExitWindowsRecorder {
public:
    ExitWindowsRecorder();
    ~ExitWindowsRecorder();
    ExitWindowsRecorder(const ExitWindowsRecorder&) = delete;
    ExitWindowsRecorder& operator=(const ExitWindowsRecorder&) = delete;
    std::vector<ExitWindowsCallRecord> Calls() const;

private:
    SessionExit m_replaced;
};

// Records, at each row inserted into `list`, whether either tool button was
// enabled.
class ButtonsAtEachRow {
public:
    ButtonsAtEachRow(HWND list, HWND repairButton, HWND cleanupButton);
    ~ButtonsAtEachRow();
    ButtonsAtEachRow(const ButtonsAtEachRow&) = delete;
    ButtonsAtEachRow& operator=(const ButtonsAtEachRow&) = delete;
    int Rows() const { return m_rows; }
    int RowsWithAButtonEnabled() const { return m_enabled; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND m_list, m_repair, m_cleanup;
    int m_rows = 0;
    int m_enabled = 0;
};

// Records the messages in [first, last] that `window` receives.
struct LoggedMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
class MessageLog {
public:
    MessageLog(HWND window, UINT first, UINT last);
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;
    std::vector<LoggedMessage> Messages() const { return m_messages; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND m_window;
    UINT m_first, m_last;
    std::vector<LoggedMessage> m_messages;
};

// The repair page, created as the main window creates it, in a hidden pop-up.
class RepairPageTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Clicks a button of the page, as the user does.
    void Click(int id);
    // Clicks the repair or clean-up button, answers its question with OK and
    // waits for the thread to end.
    void RunTool(int id);
    std::string ItemText(int id);
    void SetItemText(int id, const std::string& text);

    RepairPage page;
    HWND parent = nullptr;
};

}  // namespace repairtest
