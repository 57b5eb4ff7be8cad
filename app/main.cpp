#include <windows.h>

#include "app/GuardApp.h"

// The one application object, constructed before start-up.
GuardApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return theApp.Run();
}
