// The image buttons of the pages all look alike; one place sets them up.
#pragma once
#include <windows.h>

#include "controls/ImageButton.h"

// Takes over the push button `id` of `page`: the bitmap `bitmapId` above the
// caption, white as its transparent colour, no hover frame, the hand pointer
// unless `handPointer` is false (a decoration without a command), and the
// tooltip text `tipId` unless it is 0.
void SetUpPageButton(ImageButton& button, HWND page, int id, int bitmapId, UINT tipId = 0, bool handPointer = true);
