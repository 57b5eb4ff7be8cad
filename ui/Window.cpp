#include "ui/Window.h"

#include <commctrl.h>

#include <mutex>
#include <unordered_map>

namespace ui {

void InvalidateShown(HWND hwnd) {
    if (hwnd && IsWindowVisible(hwnd)) InvalidateRect(hwnd, nullptr, TRUE);
}

namespace {
// One subclass id for all framework objects.
const UINT_PTR kSubclassId = 0x56584657;  // "VXFW"
// A procedure-owning object also marks its window, so that it is still found
// when another module (a skin library) has put its own procedure on top.
const char kObjectProperty[] = "VX.WindowObject";

// comctl32 exports GetWindowSubclass (ordinal 411) but the import library
// lacks it, so it is looked up once.
using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
GetWindowSubclassFn ResolveGetWindowSubclass() {
    HMODULE comctl = GetModuleHandleA("comctl32.dll");
    if (!comctl) comctl = LoadLibraryA("comctl32.dll");
    if (!comctl) return nullptr;
    FARPROC proc = GetProcAddress(comctl, "GetWindowSubclass");
    if (!proc) proc = GetProcAddress(comctl, MAKEINTRESOURCEA(411));
    return reinterpret_cast<GetWindowSubclassFn>(reinterpret_cast<void*>(proc));
}

// Every window that has an object subclassing it, entered with the subclass
// and removed with it. Parents look up the source of each notification; most
// sources (list views, plain buttons) have no object, and a window property
// lookup costs a wineserver round trip under Wine. A window missing here has
// no object; one found here is confirmed by its subclass or its window
// procedure, since a window may die without its last message (its thread
// ended) and its handle be reused.
// A window whose procedure was replaced keeps its entry until its last
// message, object or not: the procedure may stay in place under someone
// else's subclass, and then it passes every message on to the previous one.
class SubclassedWindows {
public:
    struct Entry {
        Window* window = nullptr;
        WNDPROC previous = nullptr;  // only for a replaced procedure
    };
    void Add(HWND hwnd, Window* window, WNDPROC previous = nullptr) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows[hwnd] = Entry{window, previous};
    }
    void Remove(HWND hwnd, Window* window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it != m_windows.end() && it->second.window == window) m_windows.erase(it);
    }
    // Keeps a replaced procedure's way to the previous one, without its object.
    void Orphan(HWND hwnd, Window* window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it != m_windows.end() && it->second.window == window) it->second.window = nullptr;
    }
    bool Find(HWND hwnd, Entry* entry) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it == m_windows.end()) return false;
        *entry = it->second;
        return true;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HWND, Entry> m_windows;
};

// Never destroyed: objects with static storage may detach during exit.
SubclassedWindows& Subclassed() {
    static SubclassedWindows* const windows = new SubclassedWindows;
    return *windows;
}
}  // namespace

Window::~Window() {
    Detach();
}

bool Window::Attach(HWND hwnd) {
    if (!hwnd || FromHandle(hwnd)) return false;
    if (m_binding == Binding::Hold) {
        // A held handle whose window is gone may be replaced.
        if (m_hwnd && m_hwnd != hwnd && IsWindow(m_hwnd)) return false;
        m_hwnd = hwnd;
        OnAttached();
        return true;
    }
    if (m_hwnd) return false;
    if (m_binding == Binding::Procedure) {
        SubclassedWindows::Entry orphan;
        if (Subclassed().Find(hwnd, &orphan) && !orphan.window) {
            // Our procedure still runs under someone else's: this object takes
            // its place there. Installing it again on top would make a loop.
            m_previousProc = orphan.previous;
            Subclassed().Add(hwnd, this, orphan.previous);
            m_hwnd = hwnd;
        } else {
            // Entered first: the new procedure may see messages before this returns.
            const WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
            if (!previous) return false;
            m_previousProc = previous;
            Subclassed().Add(hwnd, this, previous);
            m_hwnd = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnedProc));
            if (GetWindowLongPtrA(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(OwnedProc)) {
                Subclassed().Remove(hwnd, this);
                m_hwnd = nullptr;
                return false;
            }
        }
        SetPropA(hwnd, kObjectProperty, this);
        OnAttached();
        return true;
    }
    // Entered first: the subclass may see messages before this returns.
    Subclassed().Add(hwnd, this);
    if (!SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Subclassed().Remove(hwnd, this);
        return false;
    }
    m_hwnd = hwnd;
    OnAttached();
    return true;
}

void Window::Detach() {
    if (!m_hwnd) return;
    if (m_binding == Binding::Subclass) {
        RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
        Subclassed().Remove(m_hwnd, this);
    } else if (m_binding == Binding::Procedure) {
        RemovePropA(m_hwnd, kObjectProperty);
        // Put back only when nobody has subclassed on top since; otherwise
        // the procedure stays and passes everything on.
        if (GetWindowLongPtrA(m_hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(OwnedProc)) {
            SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
            Subclassed().Remove(m_hwnd, this);
        } else {
            Subclassed().Orphan(m_hwnd, this);
        }
    }
    m_hwnd = nullptr;
}

Window* Window::FromHandle(HWND hwnd) {
    static const GetWindowSubclassFn getWindowSubclass = ResolveGetWindowSubclass();
    SubclassedWindows::Entry entry;
    if (!hwnd || !Subclassed().Find(hwnd, &entry) || !entry.window) return nullptr;
    if (entry.previous) {
        // Confirmed in process: reading a window procedure asks no one. Under
        // someone else's procedure, the window's mark confirms it.
        if (GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(OwnedProc)) return entry.window;
        return GetPropA(hwnd, kObjectProperty) == entry.window ? entry.window : nullptr;
    }
    DWORD_PTR ref = 0;
    if (!getWindowSubclass || !getWindowSubclass(hwnd, SubclassProc, kSubclassId, &ref)) return nullptr;
    return reinterpret_cast<Window*>(ref);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR ref) {
    return reinterpret_cast<Window*>(ref)->Dispatch(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Window::OwnedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    SubclassedWindows::Entry entry;
    if (!Subclassed().Find(hwnd, &entry)) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (entry.window) return entry.window->Dispatch(hwnd, msg, wParam, lParam);
    // Let go of while someone else's subclass covered it: only passes on.
    LRESULT result = CallWindowProcA(entry.previous, hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) Subclassed().Remove(hwnd, nullptr);
    return result;
}

LRESULT Window::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Saved and restored, because a handler may send further messages to itself.
    CurrentMessage outer = m_current;
    m_current = {msg, wParam, lParam};
    LRESULT result = WindowProc(msg, wParam, lParam);
    m_current = outer;
    if (msg == WM_NCDESTROY) {
        if (m_binding == Binding::Procedure) {
            RemovePropA(hwnd, kObjectProperty);
            if (GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(OwnedProc))
                SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        } else {
            RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        }
        Subclassed().Remove(hwnd, this);
        m_hwnd = nullptr;
        OnFinalDestroy();
    }
    return result;
}

LRESULT Window::Default() {
    return DefaultWith(m_current.msg, m_current.wParam, m_current.lParam);
}

LRESULT Window::DefaultWith(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_binding == Binding::Procedure) return CallWindowProcA(m_previousProc, m_hwnd, msg, wParam, lParam);
    return DefSubclassProc(m_hwnd, msg, wParam, lParam);
}

LRESULT Window::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectToChild(msg, wParam, lParam, &result)) return result;
    return Default();
}

bool Window::PreTranslateMessage(MSG*) {
    return false;
}

bool Window::OnReflect(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

bool Window::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND source = nullptr;
    switch (msg) {
    case WM_COMMAND:
        source = reinterpret_cast<HWND>(lParam);  // null for menus and accelerators
        break;
    case WM_NOTIFY:
        if (lParam) source = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM:
        // wParam 0 is a menu item, which has no control to reflect to.
        if (wParam && lParam) source = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        source = reinterpret_cast<HWND>(lParam);
        break;
    default:
        return false;
    }
    Window* control = FromHandle(source);
    return control && control->OnReflect(msg, wParam, lParam, result);
}

bool Window::FilterMessage(MSG* msg) {
    for (HWND h = msg->hwnd; h; h = GetParent(h)) {
        Window* window = FromHandle(h);
        if (window && window->PreTranslateMessage(msg)) return true;
        if (!(GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) break;
    }
    HWND root = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
    // Tab, arrow keys, Enter and Esc of dialogs.
    char className[8];
    if (root && GetClassNameA(root, className, sizeof className) && lstrcmpA(className, "#32770") == 0)
        return IsDialogMessageA(root, msg) != FALSE;
    return false;
}

}  // namespace ui
