// The base of every window object: a Win32 window subclassed with
// SetWindowSubclass, tied to its C++ object by the subclass reference data.
// A wrapper that only sends messages to its window may hold it instead,
// without subclassing it. Dialogs and the program's own controls (image
// buttons, links) have their window procedure replaced instead, as MFC did.
#pragma once
#include <windows.h>

namespace ui {

// Marks a window to be drawn again, unless it is not on screen: then it is
// drawn whole once it is shown, and the system would ignore the request
// anyway (under Wine, still at the cost of a wineserver round trip).
void InvalidateShown(HWND hwnd);

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }

    // Takes the window over (or holds it, for a holding object); false when it
    // already belongs to another object.
    bool Attach(HWND hwnd);
    // Gives the window back to its own window procedure.
    void Detach();
    // The object attached to `hwnd`, or null.
    static Window* FromHandle(HWND hwnd);

    // Every message of the window passes through here first.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Called by the message loop before a message for this window or one of its
    // children is dispatched; true when the message was consumed.
    virtual bool PreTranslateMessage(MSG* msg);

    // A notification that the parent reflected back to this control (WM_COMMAND,
    // WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR*). True, with *result, when the control
    // handled it completely; false lets the parent handle it as well.
    virtual bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Sends a parent's notification to the control it came from; true when that
    // control handled it. The source window is lParam for WM_COMMAND and
    // WM_CTLCOLOR*, NMHDR::hwndFrom for WM_NOTIFY and DRAWITEMSTRUCT::hwndItem
    // for WM_DRAWITEM.
    static bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Runs the message filters of the window and its ancestors, then the dialog
    // keyboard handling; true when the message must not be dispatched.
    static bool FilterMessage(MSG* msg);

protected:
    // A holding object keeps the handle only: none of the window's messages
    // pass through it, so it gets no WindowProc, OnReflect or OnFinalDestroy
    // calls, and FromHandle does not find it. Once the window is destroyed,
    // the handle it keeps is stale until it holds another window.
    // A procedure-owning object replaces the window procedure at attachment
    // and calls the previous one by default. Its messages skip comctl32's
    // subclass chain, whose every message costs two or three window-property
    // lookups (wineserver round trips under Wine): a page's list notifications
    // would pay them per row, and each image button for every message of its
    // creation and painting.
    enum class Binding { Subclass, Hold, Procedure };
    explicit Window(Binding binding) : m_binding(binding) {}

    // Default processing of the message being handled.
    LRESULT Default();
    // Default processing of another message in its place.
    LRESULT DefaultWith(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called once the window has been taken over.
    virtual void OnAttached() {}
    // Called after the last message (WM_NCDESTROY); the handle is gone.
    virtual void OnFinalDestroy() {}

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK OwnedProc(HWND, UINT, WPARAM, LPARAM);
    // Runs one message through WindowProc, then lets go after the last one.
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    struct CurrentMessage {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };

    HWND m_hwnd = nullptr;
    Binding m_binding = Binding::Subclass;
    WNDPROC m_previousProc = nullptr;  // a procedure-owning object's default
    CurrentMessage m_current = {};
};

}  // namespace ui
