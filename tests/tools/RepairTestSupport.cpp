#include "tests/tools/RepairTestSupport.h"

#include <commctrl.h>

#include <mutex>

#include "tests/common/TestSupport.h"

namespace repairtest {

namespace {

// The shared test support refuses every session exit until a test puts
// a recorder in place.

std::mutex g_callsLock;
std::vector<ExitWindowsCallRecord> g_calls;

BOOL RecordExitWindows(UINT flags, DWORD reason) {
    std::lock_guard<std::mutex> hold(g_callsLock);
    g_calls.push_back({flags, reason, IsPrivilegeEnabled("SeShutdownPrivilege")});
    return TRUE;
}

}  // namespace

std::vector<Row> Rows(ui::ListView& list) {
    std::vector<Row> rows;
    for (int row = 0; row < list.GetItemCount(); ++row)
        rows.push_back({list.GetItemText(row, 0), list.GetItemText(row, 1)});
    return rows;
}

bool IsPrivilegeEnabled(const char* name) {
    LUID luid;
    if (!LookupPrivilegeValueA(nullptr, name, &luid)) return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    bool enabled = false;
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID& candidate = privileges->Privileges[i].Luid;
            if (candidate.LowPart == luid.LowPart && candidate.HighPart == luid.HighPart)
                enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

ExitWindowsRecorder::ExitWindowsRecorder() : m_replaced(SetSessionExitForTest(RecordExitWindows)) {
    std::lock_guard<std::mutex> hold(g_callsLock);
    g_calls.clear();
}

ExitWindowsRecorder::~ExitWindowsRecorder() { SetSessionExitForTest(m_replaced); }

std::vector<ExitWindowsCallRecord> ExitWindowsRecorder::Calls() const {
    std::lock_guard<std::mutex> hold(g_callsLock);
    return g_calls;
}

ButtonsAtEachRow::ButtonsAtEachRow(HWND list, HWND repairButton, HWND cleanupButton)
    : m_list(list), m_repair(repairButton), m_cleanup(cleanupButton) {
    SetWindowSubclass(m_list, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

ButtonsAtEachRow::~ButtonsAtEachRow() { RemoveWindowSubclass(m_list, Proc, 0); }

LRESULT CALLBACK ButtonsAtEachRow::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    ButtonsAtEachRow* self = reinterpret_cast<ButtonsAtEachRow*>(data);
    if (msg == LVM_INSERTITEMA) {
        ++self->m_rows;
        if (IsWindowEnabled(self->m_repair) || IsWindowEnabled(self->m_cleanup)) ++self->m_enabled;
    }
    return DefSubclassProc(window, msg, wParam, lParam);
}

MessageLog::MessageLog(HWND window, UINT first, UINT last) : m_window(window), m_first(first), m_last(last) {
    SetWindowSubclass(m_window, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

MessageLog::~MessageLog() { RemoveWindowSubclass(m_window, Proc, 0); }

LRESULT CALLBACK MessageLog::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    MessageLog* self = reinterpret_cast<MessageLog*>(data);
    if (msg >= self->m_first && msg <= self->m_last) self->m_messages.push_back({msg, wParam, lParam});
    return DefSubclassProc(window, msg, wParam, lParam);
}

void RepairPageTest::SetUp() {
    parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 40, 40, 760, 470, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    ASSERT_TRUE(page.Create(parent));
}

void RepairPageTest::TearDown() {
    page.DestroyWindow();
    DestroyWindow(parent);
}

void RepairPageTest::Click(int id) {
    SendMessageA(page.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.Item(id)));
}

void RepairPageTest::RunTool(int id) {
    vxtest::ExpectMessage(id == IDC_REPAIR_REGISTRY ? "Do you want to repair registry?"
                                                    : "Do you want to cleanup the system drive?\r\nPlease wait for a while!");
    Click(id);
    EXPECT_TRUE(vxtest::PumpUntil([&] { return !page.IsWorking(); }, 60000)) << "the tool's thread did not end";
    // Its last messages to the page's controls.
    vxtest::PumpFor(20);
}

std::string RepairPageTest::ItemText(int id) { return ui::GetWindowTextString(page.Item(id)); }

void RepairPageTest::SetItemText(int id, const std::string& text) { SetWindowTextA(page.Item(id), text.c_str()); }

}  // namespace repairtest
