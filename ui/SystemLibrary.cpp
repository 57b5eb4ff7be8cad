#include "ui/SystemLibrary.h"

#include <mmsystem.h>

#include <string>

namespace ui {

FARPROC GetSystemProc(const char* dll, const char* name) {
    // By full path: a DLL of the same name beside the program is never taken.
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return nullptr;
    const std::string path = std::string(folder) + "\\" + dll;
    HMODULE module = GetModuleHandleA(path.c_str());
    if (!module) module = LoadLibraryA(path.c_str());
    return module ? GetProcAddress(module, name) : nullptr;
}

bool PlayResourceSound(UINT resourceId) {
    using PlaySoundFn = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);
    static const PlaySoundFn playSound = SystemProc<PlaySoundFn>("winmm.dll", "PlaySoundA");
    return playSound &&
           playSound(MAKEINTRESOURCEA(resourceId), GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC) != FALSE;
}

}  // namespace ui
