// The Information page: the shield's state, the key features and the vendor's links.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class InfoPage : public ui::Dialog {
public:
    InfoPage() : Dialog(IDD_PAGE_INFO) {}
};
