// The system repair page: registry repair, disk clean-up and timed shutdown.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class RepairPage : public ui::Dialog {
public:
    RepairPage() : Dialog(IDD_PAGE_REPAIR) {}
};
