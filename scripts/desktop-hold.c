/* Holds the sandbox's desktop open for the whole run. Wine closes a desktop
 * one second after its last program ends; between two test programs that
 * would restart it, and a program starting just then can lose it. A
 * message-only window ties this process to the desktop without showing
 * anything. The sandbox's teardown ends it. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev, LPSTR cmd, int show) {
    (void)prev;
    (void)cmd;
    (void)show;
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL);
    if (!window) return 1;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
