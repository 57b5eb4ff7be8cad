// The quarantine page: lists, restores and empties the quarantined files.
#pragma once
#include "res/resource.h"
#include "ui/Dialog.h"

class QuarantinePage : public ui::Dialog {
public:
    QuarantinePage() : Dialog(IDD_PAGE_QUARANTINE) {}
};
