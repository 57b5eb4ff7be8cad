// The resident shield page: what the root check of the USB drives found.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class ShieldPage : public ui::Dialog {
public:
    ShieldPage() : Dialog(IDD_PAGE_SHIELD) {}
};
