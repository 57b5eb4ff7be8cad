// The USB tools page: immunity and safe removal.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class ToolsPage : public ui::Dialog {
public:
    ToolsPage() : Dialog(IDD_PAGE_TOOLS) {}
};
