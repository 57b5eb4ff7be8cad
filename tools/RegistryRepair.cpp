#include "tools/RegistryRepair.h"

#include <vector>

#include "res/resource.h"
#include "ui/Guards.h"

const char BROWSER_HOME_PAGE[] = "http://www.microsoft.com";
const char BROWSER_SEARCH_PAGE[] = "http://www.microsoft.com/isapi/redir.dll?prd=ie&ar=iesearch";

namespace {

static_assert(sizeof BROWSER_HOME_PAGE - 1 == 24, "the home page address has 24 characters");
static_assert(sizeof BROWSER_SEARCH_PAGE - 1 == 59, "the search address has 59 characters");

const char BROWSER_TITLE[] = "Microsoft Internet Explorer";
const char NOTEPAD_COMMAND[] = "%SystemRoot%\\system32\\NOTEPAD.EXE %1";

enum KeyId { POLICIES_EXPLORER, POLICIES_SYSTEM, SHOW_HIDDEN, HIDE_EXTENSIONS, IE_MAIN_MACHINE, IE_MAIN_USER,
             TEXT_FILE_COMMAND };

struct KeyPath {
    HKEY root;
    const char* path;
};

const KeyPath KEYS[] = {
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\HiddenFileExt"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Main"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\CLASSES\\txtfile\\shell\\open\\command"},
};

// Row texts: the key each group of items repairs.
const char ROW_POLICIES_EXPLORER[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char ROW_POLICIES_SYSTEM[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char ROW_SHOW_HIDDEN[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
const char ROW_HIDE_EXTENSIONS[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\HiddenFileExt";
const char ROW_IE_USER[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\";
const char ROW_IE_MACHINE[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\";
const char ROW_TEXT_FILE_COMMAND[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\txtfile\\shell\\open\\command";

// One registry change: a value deleted, or written with its exact type and
// data length. Texts are padded with zero bytes up to their fixed length.
struct Change {
    KeyId key;
    const char* name;  // nullptr: the key's default value
    bool remove;
    DWORD type;
    DWORD number;      // REG_DWORD data
    const char* text;  // REG_SZ / REG_EXPAND_SZ data
    DWORD length;      // bytes written for a text
};

Change Delete(KeyId key, const char* name) { return {key, name, true, REG_NONE, 0, nullptr, 0}; }
Change SetNumber(KeyId key, const char* name, DWORD number) { return {key, name, false, REG_DWORD, number, nullptr, 4}; }
Change SetText(KeyId key, const char* name, DWORD type, const char* text, DWORD length) {
    return {key, name, false, type, 0, text, length};
}

struct Item {
    UINT restoreTextId;
    const char* rowText;
    std::vector<Change> changes;
};

std::vector<Item> RepairItems() {
    const KeyId E = POLICIES_EXPLORER;
    const char* R1 = ROW_POLICIES_EXPLORER;
    return {
        {IDS_RESTORE_FOLDER_OPTIONS, R1, {Delete(E, "NoFolderOptions")}},
        {IDS_RESTORE_MY_DOCUMENTS, R1, {Delete(E, "NoRecentDocsMenu")}},
        {IDS_RESTORE_RECENT_DOCUMENTS, R1, {Delete(E, "NoRecentDocsHistory")}},
        {IDS_RESTORE_HISTORY, R1, {Delete(E, "ClearRecentDocsOnExit")}},
        {IDS_RESTORE_FAVORITES, R1, {Delete(E, "NoFavoritesMenu")}},
        {IDS_RESTORE_HELP, R1, {Delete(E, "NoSMHelp")}},
        {IDS_RESTORE_SEARCH, R1, {Delete(E, "NoFind")}},
        {IDS_RESTORE_RUN, R1, {Delete(E, "NoRun")}},
        {IDS_RESTORE_LOG_OFF, R1, {Delete(E, "NoLogOff"), Delete(E, "StartMenuLogOff")}},
        {IDS_RESTORE_TURN_OFF, R1, {Delete(E, "NoClose")}},
        {IDS_RESTORE_CONTROL_PANEL, R1, {Delete(E, "NoSetFolders")}},
        {IDS_RESTORE_TASKBAR, R1, {Delete(E, "NoSetTaskbar")}},
        {IDS_RESTORE_WINDOWS_UPDATE, R1, {Delete(E, "NoWindowsUpdate")}},
        {IDS_RESTORE_ACTIVE_DESKTOP, R1,
         {Delete(E, "NoSetActiveDesktop"), Delete(E, "NoActiveDesktop"), Delete(E, "NoActiveDesktopChanges")}},
        {IDS_RESTORE_FILE_MENU, R1, {Delete(E, "NoFileMenu")}},
        {IDS_RESTORE_NETWORK_DRIVE, R1, {Delete(E, "NoNetConnectDisconnect")}},
        {IDS_RESTORE_WEB_VIEW, R1, {Delete(E, "NoWebView")}},
        {IDS_RESTORE_DESKTOP_ICON, R1, {Delete(E, "Nodesktop")}},
        {IDS_RESTORE_NETWORK_NEIGHBOR, R1, {Delete(E, "NoNetHood")}},
        {IDS_RESTORE_INTERNET_ICON, R1, {Delete(E, "NoInternetIcon")}},
        {IDS_RESTORE_RIGHT_CLICK, R1,
         {Delete(E, "NoViewContextMenu"), Delete(E, "NoTrayContextMenu"), Delete(E, "NoChangeStartMenu")}},
        {IDS_RESTORE_PRINTER, R1,
         {Delete(E, "NoAddPrinter"), Delete(E, "NoDeletePrinter"), Delete(E, "NoPrinterTabs")}},
        {IDS_RESTORE_DRIVE, R1, {Delete(E, "NoDrives")}},
        {IDS_RESTORE_AUTORUN, R1, {SetNumber(E, "NoDriveTypeAutoRun", 0x95)}},
        {IDS_RESTORE_RUN_PROGRAM, R1, {Delete(E, "RestrictRun")}},
        {IDS_RESTORE_REGEDIT, ROW_POLICIES_SYSTEM, {SetNumber(POLICIES_SYSTEM, "DisableRegistryTools", 0)}},
        {IDS_RESTORE_SHOW_HIDDEN, ROW_SHOW_HIDDEN, {SetNumber(SHOW_HIDDEN, "CheckedValue", 1)}},
        {IDS_RESTORE_EXTENSIONS, ROW_HIDE_EXTENSIONS, {SetNumber(HIDE_EXTENSIONS, "CheckedValue", 1)}},
        {IDS_RESTORE_INTERNET_EXPLORER, ROW_IE_USER,
         {SetText(IE_MAIN_MACHINE, "Start Page", REG_SZ, BROWSER_HOME_PAGE, 50)}},
        {IDS_RESTORE_INTERNET_EXPLORER, ROW_IE_MACHINE,
         {SetText(IE_MAIN_USER, "Start Page", REG_SZ, BROWSER_HOME_PAGE, 50),
          SetText(IE_MAIN_MACHINE, "default_page_url", REG_SZ, BROWSER_HOME_PAGE, 50),
          SetText(IE_MAIN_USER, "default_page_url", REG_SZ, BROWSER_HOME_PAGE, 50),
          SetText(IE_MAIN_MACHINE, "Search Page", REG_SZ, BROWSER_SEARCH_PAGE, 100),
          SetText(IE_MAIN_USER, "Search Page", REG_SZ, BROWSER_SEARCH_PAGE, 100),
          Delete(IE_MAIN_USER, "Settings"), Delete(IE_MAIN_USER, "Links"), Delete(IE_MAIN_USER, "SecAddSites"),
          SetText(IE_MAIN_MACHINE, "Window Title", REG_SZ, BROWSER_TITLE, 50),
          SetText(IE_MAIN_USER, "Window Title", REG_SZ, BROWSER_TITLE, 50)}},
        {IDS_RESTORE_NOTEPAD, ROW_TEXT_FILE_COMMAND,
         {SetText(TEXT_FILE_COMMAND, nullptr, REG_EXPAND_SZ, NOTEPAD_COMMAND, 50)}},
    };
}

// Machine keys are opened in the 64-bit view: a 32-bit program would
// otherwise repair the 32-bit copy that 64-bit Explorer never reads. The
// flag is ignored on 32-bit Windows.
bool OpenRepairKey(KeyId key, ui::ScopedRegKey& out) {
    REGSAM access = KEY_ALL_ACCESS;
    if (KEYS[key].root == HKEY_LOCAL_MACHINE) access |= KEY_WOW64_64KEY;
    return RegOpenKeyExA(KEYS[key].root, KEYS[key].path, 0, access, &out.Out()) == ERROR_SUCCESS;
}

void Apply(HKEY key, const Change& change) {
    if (change.remove) {
        RegDeleteValueA(key, change.name);
    } else if (change.type == REG_DWORD) {
        RegSetValueExA(key, change.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&change.number),
                       sizeof change.number);
    } else {
        std::vector<BYTE> data(change.length, 0);
        for (DWORD i = 0; change.text[i] && i + 1 < change.length; ++i) data[i] = static_cast<BYTE>(change.text[i]);
        RegSetValueExA(key, change.name, 0, change.type, data.data(), change.length);
    }
}

}  // namespace

bool RepairRegistry(const ResultRowSink& addRow) {
    // The user's policy key stays open for its items; every other key is
    // opened for each change and closed after it.
    ui::ScopedRegKey policies;
    if (!OpenRepairKey(POLICIES_EXPLORER, policies)) return false;
    for (const Item& item : RepairItems()) {
        for (const Change& change : item.changes) {
            if (change.key == POLICIES_EXPLORER) {
                Apply(policies, change);
                continue;
            }
            ui::ScopedRegKey key;
            if (OpenRepairKey(change.key, key)) Apply(key, change);
        }
        if (item.restoreTextId == IDS_RESTORE_RUN_PROGRAM) policies.Reset();
        addRow(item.rowText, item.restoreTextId);
    }
    return true;
}
