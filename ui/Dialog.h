// Dialogs made from templates: modal (DoModal, ended with a result) or
// modeless (a child page or a pop-up), with the usual hooks.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/Window.h"

namespace ui {

class Dialog;

// Moves values between controls and members, both ways.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool save) : m_dialog(dialog), m_save(save) {}
    bool Saving() const { return m_save; }
    bool Failed() const { return m_failed; }

    void Text(int controlId, std::string& value);
    // An unsigned decimal entry; a bad entry fails the exchange, keeps the
    // member and puts the focus on the entry.
    void UnsignedInt(int controlId, unsigned& value);
    // Attaches the control of the template to a control object (once).
    void Control(int controlId, Window& control);

private:
    Dialog& m_dialog;
    bool m_save;
    bool m_failed = false;
};

class Dialog : public Window {
public:
    explicit Dialog(UINT templateId);
    ~Dialog() override;

    UINT TemplateId() const { return m_templateId; }

    // Runs the dialog modally; returns the value given to EndDialog, or -1
    // when the template cannot be created.
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the dialog modeless: a child page when the template has the
    // child style, else a pop-up owned by `parent`.
    bool Create(HWND parent);
    // Ends a modal dialog with `result`; hides a modeless one.
    void EndDialog(INT_PTR result);
    // Thread-safe: asks the dialog's own thread to run EndDialog.
    void PostEndDialog(INT_PTR result);
    bool IsModal() const { return m_inModalLoop; }

    virtual BOOL DestroyWindow();
    virtual BOOL WinHelp(DWORD_PTR data, UINT command);

    HWND Item(int id) const { return GetDlgItem(Hwnd(), id); }
    // Moves data between controls and members; false when an entry is bad.
    bool UpdateData(bool save = true);

    // Starts `proc(this)` on a worker thread. The dialog is not destroyed while
    // any of its workers runs: on destruction it tells them to stop, then waits
    // for them while it keeps pumping messages, because workers send messages
    // to its controls.
    bool StartWorker(unsigned (*proc)(Dialog* self));
    // Template-friendly form for a page's own thread function.
    template <typename Page>
    bool StartWorker(unsigned (*proc)(Page* page)) {
        return StartWorker(reinterpret_cast<unsigned (*)(Dialog*)>(proc));
    }
    size_t RunningWorkers();
    void WaitForWorkers();
    // Tells the workers to stop: sets StopRequested and StopEvent, runs
    // OnStopWorkers and closes the message boxes they have open, so that
    // nothing waits on a person's answer. Call it before waiting for them.
    void StopWorkers();
    // Set when the dialog's window goes or its object is destroyed; workers
    // poll StopRequested() or wait on StopEvent() (a manual-reset event).
    bool StopRequested() const { return m_workersStopping; }
    HANDLE StopEvent() const { return m_stopEvent; }

    // Runs this thread's messages, dialog keys included, until `done` holds,
    // so that the windows stay responsive while the caller waits. False when
    // WM_QUIT came first (it is posted again for the outer loop).
    static bool PumpMessagesUntil(const std::function<bool()>& done);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Enter inside a page (a child dialog) is handled by HandleEnter.
    bool PreTranslateMessage(MSG* msg) override;

protected:
    // Hooks. The defaults do what a plain dialog does.
    virtual BOOL OnInitDialog();  // runs the data exchange into the controls
    virtual void OnOK();          // UpdateData, then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void OnTimer(UINT_PTR timerId);
    virtual void OnPaint();
    virtual void DoDataExchange(DataExchange& dx);
    // Workers poll flags of the page; clear them here so that they end.
    virtual void OnStopWorkers() {}
    // WM_COMMAND: true when handled. The default runs OnOK, OnCancel and the
    // handlers bound with OnCommandId.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // Binds a handler to a button click, static click, menu item or accelerator.
    void OnCommandId(UINT id, std::function<void()> handler);
    // Enter does only what the focused control does with it: a push button
    // runs its own command (sent to its parent, as a click is); a control
    // that asks for Enter gets it; anything else ignores it. There is no
    // default button, so Enter never ends or hides anything by itself.
    // Returns true when the key was consumed.
    static bool HandleEnter(MSG* msg);

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    bool CreateFromTemplate(HWND parent);
    void RunModalLoop();

    UINT m_templateId;
    bool m_inModalLoop = false;
    INT_PTR m_modalResult = -1;
    void CloseWorkerMessages();

    std::map<UINT, std::function<void()>> m_commands;
    void RequestStop();

    // Handles and thread ids of the running workers, in the same order.
    std::vector<HANDLE> m_workers;
    std::vector<DWORD> m_workerIds;
    std::atomic<bool> m_workersStopping{false};
    HANDLE m_stopEvent = nullptr;  // made with the first worker
};

}  // namespace ui
