#include "ui/Window.h"

#include <commctrl.h>

#include <mutex>
#include <unordered_map>

namespace ui {

namespace {
// One subclass id for all framework objects.
const UINT_PTR kSubclassId = 0x56584657;  // "VXFW"

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
// no object; one found here is confirmed by its subclass, since a window may
// die without its last message (its thread ended) and its handle be reused.
class SubclassedWindows {
public:
    void Add(HWND hwnd, Window* window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows[hwnd] = window;
    }
    void Remove(HWND hwnd, Window* window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_windows.find(hwnd);
        if (it != m_windows.end() && it->second == window) m_windows.erase(it);
    }
    bool Contains(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_windows.count(hwnd) != 0;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HWND, Window*> m_windows;
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
    }
    m_hwnd = nullptr;
}

Window* Window::FromHandle(HWND hwnd) {
    static const GetWindowSubclassFn getWindowSubclass = ResolveGetWindowSubclass();
    DWORD_PTR ref = 0;
    if (!hwnd || !getWindowSubclass || !Subclassed().Contains(hwnd)) return nullptr;
    if (!getWindowSubclass(hwnd, SubclassProc, kSubclassId, &ref)) return nullptr;
    return reinterpret_cast<Window*>(ref);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR ref) {
    Window* self = reinterpret_cast<Window*>(ref);
    // Saved and restored, because a handler may send further messages to itself.
    CurrentMessage outer = self->m_current;
    self->m_current = {msg, wParam, lParam};
    LRESULT result = self->WindowProc(msg, wParam, lParam);
    self->m_current = outer;
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        Subclassed().Remove(hwnd, self);
        self->m_hwnd = nullptr;
        self->OnFinalDestroy();
    }
    return result;
}

LRESULT Window::Default() {
    return DefSubclassProc(m_hwnd, m_current.msg, m_current.wParam, m_current.lParam);
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
