// The memory guard page: hidden and disguised processes.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class MemoryPage : public ui::Dialog {
public:
    MemoryPage() : Dialog(IDD_PAGE_MEMORY) {}
};
