#include "ui/Dialog.h"

#include <process.h>

#include "ui/App.h"

#include <cstdlib>

namespace ui {

namespace {

// Asks a dialog's own thread to end it (posted by PostEndDialog).
const UINT kEndDialogMessage = WM_APP + 0x3F00;

// Attaches the dialog object before its first message (WM_NCCREATE, WM_CREATE),
// which a dialog procedure never sees.
thread_local Dialog* t_creating = nullptr;
thread_local HHOOK t_createHook = nullptr;

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HCBT_CREATEWND || !t_creating) return CallNextHookEx(t_createHook, code, wParam, lParam);
    Dialog* dialog = t_creating;
    t_creating = nullptr;
    dialog->Attach(reinterpret_cast<HWND>(wParam));
    // The dialog's own window comes first; its controls need no hook, and a
    // hook in place makes the creation of every one of them dearer.
    LRESULT result = CallNextHookEx(t_createHook, code, wParam, lParam);
    UnhookWindowsHookEx(t_createHook);
    t_createHook = nullptr;
    return result;
}

struct WorkerStart {
    unsigned (*proc)(Dialog*);
    Dialog* dialog;
};

unsigned __stdcall WorkerEntry(void* arg) {
    WorkerStart start = *static_cast<WorkerStart*>(arg);
    delete static_cast<WorkerStart*>(arg);
    return start.proc(start.dialog);
}

}  // namespace

Dialog::Dialog(UINT templateId) : Window(Binding::Procedure), m_templateId(templateId) {}

Dialog::~Dialog() {
    // The derived parts are gone: a class with its own handlers or workers
    // destroys its window in its own destructor. Whatever is left is let go
    // of first, so that no message reaches this half-destroyed object, and
    // only the dialog's own stop request can reach the workers.
    HWND hwnd = Hwnd();
    Detach();
    // A page must outlive its workers, whichever way it goes.
    if (!m_workers.empty()) {
        RequestStop();
        CloseWorkerMessages();
        WaitForWorkers();
    }
    if (m_stopEvent) CloseHandle(m_stopEvent);
    if (hwnd) ::DestroyWindow(hwnd);
}

void Dialog::RequestStop() {
    m_workersStopping = true;
    if (m_stopEvent) SetEvent(m_stopEvent);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND, UINT msg, WPARAM, LPARAM) {
    // Everything is handled in front of the dialog manager, in WindowProc.
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

bool Dialog::CreateFromTemplate(HWND parent) {
    if (Hwnd()) return false;
    if (RunningWorkers() == 0) {
        // A new window: the stop request of an earlier one is over.
        m_workersStopping = false;
        if (m_stopEvent) ResetEvent(m_stopEvent);
    }
    // Dialogs may be created while another one initialises (pages in their
    // window's OnInitDialog), so the hook of the outer creation is kept aside.
    Dialog* outerCreating = t_creating;
    HHOOK outerHook = t_createHook;
    t_creating = this;
    t_createHook = SetWindowsHookExA(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
    HWND hwnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), parent,
                                   DialogProc, 0);
    if (t_createHook) UnhookWindowsHookEx(t_createHook);
    t_createHook = outerHook;
    t_creating = outerCreating;
    return hwnd != nullptr && Hwnd() == hwnd;
}

bool Dialog::Create(HWND parent) {
    return CreateFromTemplate(parent);
}

INT_PTR Dialog::DoModal(HWND owner) {
    m_modalResult = -1;
    if (!CreateFromTemplate(owner)) return -1;
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    m_inModalLoop = true;
    RunModalLoop();
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    if (Hwnd()) DestroyWindow();
    return m_modalResult;
}

void Dialog::RunModalLoop() {
    MSG msg;
    while (m_inModalLoop) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {  // WM_QUIT: leave it for the outer loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1) break;
        if (FilterMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Dialog::EndDialog(INT_PTR result) {
    if (m_inModalLoop) {
        m_modalResult = result;
        m_inModalLoop = false;
        PostMessageA(Hwnd(), WM_NULL, 0, 0);  // wakes the loop
    }
    if (Hwnd()) ShowWindow(Hwnd(), SW_HIDE);
}

void Dialog::PostEndDialog(INT_PTR result) {
    PostMessageA(Hwnd(), kEndDialogMessage, static_cast<WPARAM>(result), 0);
}

BOOL Dialog::DestroyWindow() {
    HWND hwnd = Hwnd();
    return hwnd ? ::DestroyWindow(hwnd) : FALSE;
}

BOOL Dialog::WinHelp(DWORD_PTR, UINT) {
    return FALSE;
}

bool Dialog::UpdateData(bool save) {
    DataExchange dx(*this, save);
    DoDataExchange(dx);
    return !dx.Failed();
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void Dialog::OnTimer(UINT_PTR) {
    Default();
}

void Dialog::OnPaint() {
    Default();
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnCommandId(UINT id, std::function<void()> handler) {
    m_commands[id] = std::move(handler);
}

bool Dialog::OnCommand(UINT id, UINT code, HWND control) {
    // Clicks and menu items (0), and accelerators (1, with no control: from a
    // control, 1 is a notification such as STN_DBLCLK or LBN_SELCHANGE).
    if (code != BN_CLICKED && !(code == 1 && control == nullptr)) return false;
    auto bound = m_commands.find(id);
    if (bound != m_commands.end()) {
        bound->second();
        return true;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

LRESULT Dialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, &result)) return result;
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_HELP:
        // F1 is the application's help command, whichever window has the focus.
        if (App::Current()) {
            App::Current()->OnHelp();
            return TRUE;
        }
        return WinHelp(0, HELP_CONTEXT);
    case WM_DESTROY:
        if (!m_workers.empty()) {
            StopWorkers();
            WaitForWorkers();
        }
        break;
    case kEndDialogMessage:
        EndDialog(static_cast<INT_PTR>(wParam));
        return 0;
    }
    return Default();
}

bool Dialog::StartWorker(unsigned (*proc)(Dialog*)) {
    RunningWorkers();  // closes the handles of finished workers
    if (!m_stopEvent) m_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WorkerStart* start = new WorkerStart{proc, this};
    unsigned threadId = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, WorkerEntry, start, 0, &threadId);
    if (!thread) {
        delete start;
        return false;
    }
    m_workers.push_back(reinterpret_cast<HANDLE>(thread));
    m_workerIds.push_back(threadId);
    return true;
}

size_t Dialog::RunningWorkers() {
    for (size_t i = 0; i < m_workers.size();) {
        if (WaitForSingleObject(m_workers[i], 0) == WAIT_OBJECT_0) {
            CloseHandle(m_workers[i]);
            m_workers.erase(m_workers.begin() + static_cast<long>(i));
            m_workerIds.erase(m_workerIds.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
    return m_workers.size();
}

void Dialog::WaitForWorkers() {
    while (RunningWorkers() > 0) {
        DWORD count = static_cast<DWORD>(m_workers.size() < MAXIMUM_WAIT_OBJECTS ? m_workers.size()
                                                                                  : MAXIMUM_WAIT_OBJECTS);
        // A stopped worker may still open a box before it notices.
        if (m_workersStopping) CloseWorkerMessages();
        // Sent messages from the workers are delivered while we wait here.
        MsgWaitForMultipleObjects(count, m_workers.data(), FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void Dialog::StopWorkers() {
    RequestStop();
    OnStopWorkers();
    CloseWorkerMessages();
}

namespace {

// Workers own no windows but their message boxes. Cancel is the answer that
// lets nothing go ahead.
BOOL CALLBACK CancelMessageBox(HWND window, LPARAM) {
    char className[8];
    if (GetClassNameA(window, className, sizeof className) && lstrcmpA(className, "#32770") == 0)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

}  // namespace

void Dialog::CloseWorkerMessages() {
    for (DWORD threadId : m_workerIds) EnumThreadWindows(threadId, CancelMessageBox, 0);
}

bool Dialog::PumpMessagesUntil(const std::function<bool()>& done) {
    while (!done()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            if (FilterMessage(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

bool Dialog::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN && (GetWindowLongA(Hwnd(), GWL_STYLE) & WS_CHILD))
        return HandleEnter(msg);
    return false;
}

bool Dialog::HandleEnter(MSG* msg) {
    HWND focus = msg->hwnd;
    LRESULT code = SendMessageA(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(focus)) {
        SendMessageA(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
    }
    return true;
}

void DataExchange::Text(int controlId, std::string& value) {
    HWND control = m_dialog.Item(controlId);
    if (!control) return;
    if (m_save) {
        int length = GetWindowTextLengthA(control);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        GetWindowTextA(control, &text[0], length + 1);
        text.resize(static_cast<size_t>(length));
        value = text;
    } else {
        SetWindowTextA(control, value.c_str());
    }
}

void DataExchange::UnsignedInt(int controlId, unsigned& value) {
    HWND control = m_dialog.Item(controlId);
    if (!control) return;
    if (!m_save) {
        char text[16];
        wsprintfA(text, "%u", value);
        SetWindowTextA(control, text);
        return;
    }
    char text[32] = {};
    GetWindowTextA(control, text, sizeof text);
    const char* p = text;
    while (*p == ' ') ++p;
    char* end = nullptr;
    unsigned long long parsed = (*p >= '0' && *p <= '9') ? strtoull(p, &end, 10) : 0;
    while (end && *end == ' ') ++end;
    if (!end || *end != '\0' || parsed > 0xFFFFFFFFull) {
        m_failed = true;
        SetFocus(control);
        return;
    }
    value = static_cast<unsigned>(parsed);
}

void DataExchange::Control(int controlId, Window& control) {
    // A holding control may still keep the handle of an earlier, destroyed
    // window of this dialog.
    HWND item = m_dialog.Item(controlId);
    if (control.Hwnd() != item) control.Attach(item);
}

}  // namespace ui
