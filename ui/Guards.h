// Small RAII owners for the system handles the program opens, so that every
// handle is closed where it was opened, on every path.
#pragma once
#include <windows.h>

namespace ui {

// One owner template; each Traits says what "no handle" is and how to free it.
template <typename Traits>
class Scoped {
public:
    using Handle = typename Traits::Handle;
    Scoped() = default;
    explicit Scoped(Handle h) : m_handle(h) {}
    ~Scoped() { Reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : m_handle(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_handle; }
    operator Handle() const { return m_handle; }
    bool Valid() const { return m_handle != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

    void Reset(Handle h = Traits::Invalid()) {
        if (Valid()) Traits::Free(m_handle);
        m_handle = h;
    }
    Handle Release() {
        Handle h = m_handle;
        m_handle = Traits::Invalid();
        return h;
    }
    // For out-parameters such as RegOpenKeyExA(..., &key.Out()).
    Handle& Out() {
        Reset();
        return m_handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFile: failure is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // threads, processes, events, snapshots: failure is null
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle h) { FindClose(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { RegCloseKey(h); }
};
template <typename T>
struct GdiObjectTraits {  // bitmaps, fonts, brushes, pens, regions
    using Handle = T;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { DeleteObject(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { DestroyIcon(h); }
};
struct CursorTraits {
    using Handle = HCURSOR;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { DestroyCursor(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { DestroyMenu(h); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { DeleteDC(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Free(Handle h) { FreeLibrary(h); }
};

using ScopedFile = Scoped<FileHandleTraits>;
using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedFind = Scoped<FindHandleTraits>;
using ScopedRegKey = Scoped<RegKeyTraits>;
using ScopedBitmap = Scoped<GdiObjectTraits<HBITMAP>>;
using ScopedFont = Scoped<GdiObjectTraits<HFONT>>;
using ScopedBrush = Scoped<GdiObjectTraits<HBRUSH>>;
using ScopedPen = Scoped<GdiObjectTraits<HPEN>>;
using ScopedIcon = Scoped<IconTraits>;
using ScopedCursor = Scoped<CursorTraits>;
using ScopedMenu = Scoped<MenuTraits>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
using ScopedModule = Scoped<ModuleTraits>;

// A window's device context from GetDC, released to the same window.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (m_dc) ReleaseDC(m_window, m_dc);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint / EndPaint.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~ScopedPaint() { EndPaint(m_window, &m_paint); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    operator HDC() const { return m_dc; }
    const PAINTSTRUCT& Info() const { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint;
    HDC m_dc;
};

// Selects an object into a DC for the guard's lifetime.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~ScopedSelect() { SelectObject(m_dc, m_old); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace ui
