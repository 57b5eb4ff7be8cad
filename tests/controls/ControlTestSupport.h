// Helpers shared by the control tests: real pointer input and the count of
// the process's GDI objects.
#pragma once
#include <windows.h>

#include <functional>

namespace vxtest {

// Real mouse input, which the system routes by what is on the screen.
void SendMouse(DWORD flags, POINT screenPoint);
// Moves the pointer to `screenPoint` until `arrived` holds; fails the test
// (naming what is under the point) when it never does.
bool MoveMouseUntil(POINT screenPoint, const std::function<bool()>& arrived, DWORD timeoutMs = 5000);
POINT ScreenPoint(HWND window, int x, int y);
POINT CentreOf(HWND window);
// The GDI objects the process holds, or -1 when they cannot be counted.
int GdiObjectCount();

}  // namespace vxtest
