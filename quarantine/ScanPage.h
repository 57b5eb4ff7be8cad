// The thorough scan of every folder of the USB drives.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class ScanPage : public ui::Dialog {
public:
    ScanPage() : Dialog(IDD_PAGE_SCAN) {}
};
