// The start-up programs page.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class StartupPage : public ui::Dialog {
public:
    StartupPage() : Dialog(IDD_PAGE_STARTUP) {}
};
