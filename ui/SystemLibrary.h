// Windows DLLs that start-up does not need (sound, the URL cache, version
// information) are loaded when first used, from the system folder, so that
// the program does not load them and their own dependencies before it is in
// the notification area.
#pragma once
#include <windows.h>

namespace ui {

// The export `name` of the system DLL `dll` ("winmm.dll"), or null when
// either is missing. The DLL stays loaded until the process ends.
FARPROC GetSystemProc(const char* dll, const char* name);

template <typename Fn>
Fn SystemProc(const char* dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetSystemProc(dll, name)));
}

// Starts playing a WAVE resource of this module and returns; false when it
// cannot be played (no sound device is no error worth reporting).
bool PlayResourceSound(UINT resourceId);

}  // namespace ui
