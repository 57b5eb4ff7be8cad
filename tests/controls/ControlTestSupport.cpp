#include "tests/controls/ControlTestSupport.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include "tests/common/TestSupport.h"

namespace vxtest {

// Real mouse input, which the system routes by what is on the screen.
void SendMouse(DWORD flags, POINT screenPoint) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    // Rounded up, so that the system's scaling back lands on this very pixel.
    input.mi.dx = (screenPoint.x * 65536 + cx - 1) / cx;
    input.mi.dy = (screenPoint.y * 65536 + cy - 1) / cy;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer to `screenPoint` until `arrived` holds. The move is sent
// again now and then: under load, a late motion event of the display can put
// the pointer back where it was.
bool MoveMouseUntil(POINT screenPoint, const std::function<bool()>& arrived, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        SendMouse(0, screenPoint);
        if (vxtest::PumpUntil(arrived, 250)) return true;
    } while (GetTickCount() - start < timeoutMs);
    POINT cursor;
    GetCursorPos(&cursor);
    HWND under = WindowFromPoint(screenPoint);
    char cls[64] = "";
    GetClassNameA(under, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(under, &pid);
    ADD_FAILURE() << "the pointer is at " << cursor.x << "," << cursor.y << ", sent to " << screenPoint.x << ","
                  << screenPoint.y << "; there: a \"" << cls << "\" window of process " << pid << " (this is "
                  << GetCurrentProcessId() << "); capture " << GetCapture();
    return false;
}

POINT ScreenPoint(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return p;
}

POINT CentreOf(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return ScreenPoint(window, r.right / 2, r.bottom / 2);
}

// GetGuiResources is a stub in Wine 8 that always answers 0. Wine keeps the
// process's GDI handle table where Windows does, in the PEB's
// GdiSharedHandleTable: 0x10000 entries of 24 bytes, each live one with a
// non-zero type byte at offset 14. Counting those counts the GDI objects.
int GdiObjectCount() {
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    static const QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0xF8);
    int live = 0;
    for (int i = 0; i < 0x10000; ++i) live += table[i * 24 + 14] != 0 ? 1 : 0;
    return live;
}

}  // namespace vxtest
