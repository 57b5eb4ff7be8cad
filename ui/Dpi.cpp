#include "ui/Dpi.h"

#include <windows.h>

namespace ui {

int SystemDpi() {
    // The system DPI is fixed for the session of a DPI-aware program.
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

int ScaleForDpi(int pixels) {
    return MulDiv(pixels, SystemDpi(), 96);
}

}  // namespace ui
