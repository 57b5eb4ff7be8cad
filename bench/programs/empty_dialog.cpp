// The yardstick for the start-up benchmark: the least a dialog program does
// before it is out of sight. It shows a dialog from a template, marks it so
// the benchmark can find it, and hides it as soon as its loop runs.
#include <windows.h>

#include "res/resource.h"

namespace {

const UINT kHideNow = WM_APP + 1;

INT_PTR CALLBACK EmptyDialogProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        SetPropA(dialog, "VantorixBenchEmpty", reinterpret_cast<HANDLE>(1));
        PostMessageA(dialog, kHideNow, 0, 0);
        return TRUE;
    case kHideNow:
        ShowWindow(dialog, SW_HIDE);
        return TRUE;
    case WM_CLOSE:
        RemovePropA(dialog, "VantorixBenchEmpty");
        DestroyWindow(dialog);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Modeless with a loop of its own, as the program's dialogs run: DialogBox
    // would show the dialog again when its loop first idles.
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_STATUS_POPUP), nullptr, EmptyDialogProc, 0);
    if (!dialog) return 1;
    ShowWindow(dialog, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
