#include "controls/PageButton.h"

#include "res/resource.h"
#include "ui/Strings.h"

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const int IMAGE_ABOVE_CAPTION = 1;

}  // namespace

void SetUpPageButton(ImageButton& button, HWND page, int id, int bitmapId, UINT tipId, bool handPointer) {
    button.SubclassDlgItem(id, page);
    button.LoadBitmapPair(bitmapId, WHITE, 0, WHITE);
    button.SetImagePlacement(IMAGE_ABOVE_CAPTION);
    if (tipId != 0) button.SetTipText(ui::LoadString(tipId).c_str(), true);
    button.EnableHoverFrame(false);
    if (handPointer) button.SetPointerCursor(IDCUR_HAND);
}
