// The start-up programs page: every value of the registry keys from which
// Windows starts programs at log-on, one row each, and the deletion of the
// value of a selected row.
#pragma once
#include <windows.h>

#include <string>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"

// The Command column's text for registry data of `type`: strings as stored,
// the strings of a multi-string joined with spaces, DWORD and QWORD values as
// decimal numbers, anything else as hex bytes. Reads only `size` bytes.
std::string FormatStartupData(DWORD type, const BYTE* data, DWORD size);

// 1 when `location` begins with "HKEY_CURRENT_USER", 2 when it begins with
// "HKEY_LOCAL_MACHINE", else 0; for 1 and 2, `keyPath` (256 bytes) receives
// the text after the root name and its backslash.
int SplitLocation(const char* location, char* keyPath);

// Opens a start-up key with `access`. Machine keys are opened in the 64-bit
// view, where the 32-bit program would otherwise see only the 32-bit keys;
// those are read by their own path under Software\WOW6432Node.
LONG OpenStartupKey(HKEY root, const char* keyPath, REGSAM access, HKEY* key);

class StartupPage : public ui::Dialog {
public:
    StartupPage() : Dialog(IDD_PAGE_STARTUP) {}

    // Button 1035: reads every key again.
    void RefreshList();
    // Button 1036: deletes the registry value of the selected row.
    void OnDelete();
    // Appends one row for each value of the key `keyPath` under `root`.
    void AddRunKeyValues(HKEY root, const char* keyPath, ui::ListView& list);

    // For the tests.
    ui::ListView& Entries() { return m_listStartup; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;

private:

    ImageButton m_btnRefresh;
    ImageButton m_btnDelete;
    ui::ListView m_listStartup;
    // The rows inserted so far by the current refresh.
    int m_nItemCount = 0;
};
