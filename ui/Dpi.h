// The program's fixed pixel sizes are given for 96 DPI; the manifest declares
// it DPI-aware, so each size is scaled by the system DPI.
#pragma once

namespace ui {

// The system's logical pixels per inch (96 when it cannot be read).
int SystemDpi();
// `pixels` at 96 DPI in pixels at the system DPI; exact at 96 DPI.
int ScaleForDpi(int pixels);

}  // namespace ui
