#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "tests/tools/RepairTestSupport.h"
#include "tools/RegistryRepair.h"
#include "ui/Dpi.h"

namespace {

using repairtest::Row;

const char POLICIES_EXPLORER[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char POLICIES_SYSTEM[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char SHOW_HIDDEN[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
const char HIDE_EXTENSIONS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\HiddenFileExt";
const char IE_MAIN_MACHINE[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
const char IE_MAIN_USER[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char TEXT_FILE_COMMAND[] = "SOFTWARE\\CLASSES\\txtfile\\shell\\open\\command";

const char REGISTRY_MESSAGE[] =
    "Vantorix failed in accessing the registry.\r\nPlease check if the current user has right to access the registry.";

// Every value the repair deletes from the policy key.
const char* const DELETED_POLICIES[] = {
    "NoFolderOptions", "NoRecentDocsMenu", "NoRecentDocsHistory", "ClearRecentDocsOnExit", "NoFavoritesMenu",
    "NoSMHelp", "NoFind", "NoRun", "NoLogOff", "StartMenuLogOff", "NoClose", "NoSetFolders", "NoSetTaskbar",
    "NoWindowsUpdate", "NoSetActiveDesktop", "NoActiveDesktop", "NoActiveDesktopChanges", "NoFileMenu",
    "NoNetConnectDisconnect", "NoWebView", "Nodesktop", "NoNetHood", "NoInternetIcon", "NoViewContextMenu",
    "NoTrayContextMenu", "NoChangeStartMenu", "NoAddPrinter", "NoDeletePrinter", "NoPrinterTabs", "NoDrives",
    "RestrictRun"};

std::vector<Row> ExpectedRows() {
    const std::string r1 = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    const char* const policyItems[] = {
        "Restore Folder Options", "Restore My Documents", "Restore Recent documents", "Restore History",
        "Restore Favorites", "Restore Help", "Restore Search", "Restore Run", "Restore Log Off",
        "Restore Turn Off Computer", "Restore Control Panel", "Restore Taskbar and Start", "Restore Windows Update",
        "Restore Active Desktop", "Restore File menu", "Restore Network Drive", "Restore Web View",
        "Restore Desktop Icon", "Restore Network Neighbor", "Restore Internet Icon", "Restore Right Click",
        "Restore Printer", "Restore Drive", "Restore AutoRun", "Restore Run program"};
    std::vector<Row> rows;
    for (const char* item : policyItems) rows.push_back({r1, item});
    rows.push_back({"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                    "Restore Regedit"});
    rows.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\"
                    "Hidden\\SHOWALL",
                    "Restore Show hidden files and folders"});
    rows.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\"
                    "HiddenFileExt",
                    "Restore extensions for file type"});
    rows.push_back({"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\", "Restore Internet Explorer"});
    rows.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\", "Restore Internet Explorer"});
    rows.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\txtfile\\shell\\open\\command", "Restore notepad"});
    return rows;
}

// A registry value as stored: type and bytes; type REG_NONE with no bytes
// when absent.
struct Stored {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const Stored& other) const { return type == other.type && data == other.data; }
};

std::ostream& operator<<(std::ostream& out, const Stored& value) {
    out << "type " << value.type << ", " << value.data.size() << " bytes:";
    for (BYTE b : value.data) out << ' ' << static_cast<int>(b);
    return out;
}

Stored Read(HKEY root, const char* path, const char* name) {
    Stored value;
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
    } else {
        value.type = REG_NONE;
    }
    RegCloseKey(key);
    return value;
}

Stored Dword(DWORD number) {
    Stored value;
    value.type = REG_DWORD;
    value.data.assign(reinterpret_cast<BYTE*>(&number), reinterpret_cast<BYTE*>(&number) + 4);
    return value;
}

Stored Text(DWORD type, const std::string& text, size_t length) {
    Stored value;
    value.type = type;
    value.data.assign(length, 0);
    std::copy(text.begin(), text.end(), value.data.begin());
    return value;
}

void Write(HKEY root, const char* path, const char* name, const Stored& value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())));
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(HKEY root, const char* path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

void DeleteValues(HKEY root, const char* path, std::vector<const char*> names) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (const char* name : names) RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// What a malicious program leaves behind.
void Damage() {
    for (const char* name : DELETED_POLICIES) Write(HKEY_CURRENT_USER, POLICIES_EXPLORER, name, Dword(1));
    Write(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoDrives", Dword(0x3FFFFFF));
    Write(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoDriveTypeAutoRun", Dword(0xFF));
    Write(HKEY_CURRENT_USER, POLICIES_SYSTEM, "DisableRegistryTools", Dword(1));
    Write(HKEY_LOCAL_MACHINE, SHOW_HIDDEN, "CheckedValue", Dword(0));
    Write(HKEY_LOCAL_MACHINE, HIDE_EXTENSIONS, "CheckedValue", Dword(0));
    const std::string hijack = "http://hijacked.example/start-page-of-a-much-longer-address-than-before";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const char* path = root == HKEY_LOCAL_MACHINE ? IE_MAIN_MACHINE : IE_MAIN_USER;
        for (const char* name : {"Start Page", "default_page_url", "Search Page", "Window Title"})
            Write(root, path, name, Text(REG_SZ, hijack, hijack.size() + 1));
    }
    for (const char* name : {"Settings", "Links", "SecAddSites"})
        Write(HKEY_CURRENT_USER, IE_MAIN_USER, name, Text(REG_SZ, "x", 2));
    Write(HKEY_LOCAL_MACHINE, TEXT_FILE_COMMAND, nullptr, Text(REG_SZ, "C:\\evil.exe %1", 15));
}

class RegistryRepair : public repairtest::RepairPageTest {
protected:
    void SetUp() override {
        RepairPageTest::SetUp();
        CreateKey(HKEY_CURRENT_USER, POLICIES_EXPLORER);
    }
    void TearDown() override {
        CreateKey(HKEY_CURRENT_USER, POLICIES_EXPLORER);
        DeleteValues(HKEY_CURRENT_USER, POLICIES_EXPLORER, {"NoDriveTypeAutoRun"});
        RepairPageTest::TearDown();
    }
};

TEST_F(RegistryRepair, PutsEveryValueBackByteForByteAndListsAll31Items) {
    Damage();
    repairtest::ButtonsAtEachRow buttons(page.Results().Hwnd(), page.RepairButton(), page.CleanupButton());
    RunTool(IDC_REPAIR_REGISTRY);

    for (const char* name : DELETED_POLICIES)
        EXPECT_EQ(Stored(), Read(HKEY_CURRENT_USER, POLICIES_EXPLORER, name)) << name << " is deleted";
    EXPECT_EQ(Dword(0x95), Read(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoDriveTypeAutoRun"));
    EXPECT_EQ(Dword(0), Read(HKEY_CURRENT_USER, POLICIES_SYSTEM, "DisableRegistryTools"));
    EXPECT_EQ(Dword(1), Read(HKEY_LOCAL_MACHINE, SHOW_HIDDEN, "CheckedValue"));
    EXPECT_EQ(Dword(1), Read(HKEY_LOCAL_MACHINE, HIDE_EXTENSIONS, "CheckedValue"));
    const Stored home = Text(REG_SZ, BROWSER_HOME_PAGE, 50);
    const Stored search = Text(REG_SZ, BROWSER_SEARCH_PAGE, 100);
    const Stored title = Text(REG_SZ, "Microsoft Internet Explorer", 50);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const char* path = root == HKEY_LOCAL_MACHINE ? IE_MAIN_MACHINE : IE_MAIN_USER;
        EXPECT_EQ(home, Read(root, path, "Start Page")) << path;
        EXPECT_EQ(home, Read(root, path, "default_page_url")) << path;
        EXPECT_EQ(search, Read(root, path, "Search Page")) << path;
        EXPECT_EQ(title, Read(root, path, "Window Title")) << path;
    }
    for (const char* name : {"Settings", "Links", "SecAddSites"})
        EXPECT_EQ(Stored(), Read(HKEY_CURRENT_USER, IE_MAIN_USER, name)) << name;
    EXPECT_EQ(Text(REG_EXPAND_SZ, "%SystemRoot%\\system32\\NOTEPAD.EXE %1", 50),
              Read(HKEY_LOCAL_MACHINE, TEXT_FILE_COMMAND, nullptr));

    EXPECT_EQ(ExpectedRows(), repairtest::Rows(page.Results()));
    EXPECT_EQ(31, buttons.Rows());
    EXPECT_EQ(0, buttons.RowsWithAButtonEnabled()) << "both tool buttons are disabled while the repair runs";
    EXPECT_TRUE(IsWindowEnabled(page.RepairButton()));
    EXPECT_TRUE(IsWindowEnabled(page.CleanupButton()));
}

TEST_F(RegistryRepair, ListsAll31ItemsWhenEveryValueIsAlreadyAbsent) {
    for (const char* path : {SHOW_HIDDEN, HIDE_EXTENSIONS, IE_MAIN_MACHINE, TEXT_FILE_COMMAND})
        CreateKey(HKEY_LOCAL_MACHINE, path);
    for (const char* path : {POLICIES_SYSTEM, IE_MAIN_USER}) CreateKey(HKEY_CURRENT_USER, path);
    std::vector<const char*> names(std::begin(DELETED_POLICIES), std::end(DELETED_POLICIES));
    names.push_back("NoDriveTypeAutoRun");
    DeleteValues(HKEY_CURRENT_USER, POLICIES_EXPLORER, names);
    DeleteValues(HKEY_CURRENT_USER, IE_MAIN_USER, {"Settings", "Links", "SecAddSites"});

    RunTool(IDC_REPAIR_REGISTRY);
    EXPECT_EQ(ExpectedRows(), repairtest::Rows(page.Results()));
    EXPECT_EQ(Dword(0x95), Read(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoDriveTypeAutoRun"));
}

TEST_F(RegistryRepair, CreatesNoKeyThatIsMissingAndStillListsItsItem) {
    for (const char* path : {SHOW_HIDDEN, HIDE_EXTENSIONS, IE_MAIN_MACHINE, TEXT_FILE_COMMAND})
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    for (const char* path : {POLICIES_SYSTEM, IE_MAIN_USER}) SHDeleteKeyA(HKEY_CURRENT_USER, path);

    RunTool(IDC_REPAIR_REGISTRY);
    EXPECT_EQ(ExpectedRows(), repairtest::Rows(page.Results()));
    for (const char* path : {SHOW_HIDDEN, HIDE_EXTENSIONS, IE_MAIN_MACHINE, TEXT_FILE_COMMAND})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path)) << path;
    for (const char* path : {POLICIES_SYSTEM, IE_MAIN_USER}) EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path)) << path;
}

TEST_F(RegistryRepair, WithoutThePolicyKeyShowsTheRegistryMessageAndChangesNothing) {
    Write(HKEY_CURRENT_USER, POLICIES_SYSTEM, "DisableRegistryTools", Dword(1));
    Write(HKEY_LOCAL_MACHINE, SHOW_HIDDEN, "CheckedValue", Dword(0));
    ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyA(HKEY_CURRENT_USER, POLICIES_EXPLORER));
    page.Results().InsertItem(0, "row of an earlier run");

    vxtest::ExpectMessage("Do you want to repair registry?");
    vxtest::ExpectMessage(REGISTRY_MESSAGE);
    Click(IDC_REPAIR_REGISTRY);
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsWorking(); }));

    EXPECT_EQ(0, page.Results().GetItemCount());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, POLICIES_EXPLORER)) << "the key is never created";
    EXPECT_EQ(Dword(1), Read(HKEY_CURRENT_USER, POLICIES_SYSTEM, "DisableRegistryTools"));
    EXPECT_EQ(Dword(0), Read(HKEY_LOCAL_MACHINE, SHOW_HIDDEN, "CheckedValue"));
    EXPECT_TRUE(IsWindowEnabled(page.RepairButton()));
    EXPECT_TRUE(IsWindowEnabled(page.CleanupButton()));
}

TEST_F(RegistryRepair, CancelOnTheQuestionChangesNothing) {
    Write(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoRun", Dword(1));
    page.Results().InsertItem(0, "row of an earlier run");
    vxtest::ExpectMessage("Do you want to repair registry?", IDCANCEL);
    Click(IDC_REPAIR_REGISTRY);
    EXPECT_FALSE(page.IsWorking());
    EXPECT_EQ(1, page.Results().GetItemCount());
    EXPECT_EQ(Dword(1), Read(HKEY_CURRENT_USER, POLICIES_EXPLORER, "NoRun"));
    EXPECT_TRUE(IsWindowEnabled(page.RepairButton()));
    DeleteValues(HKEY_CURRENT_USER, POLICIES_EXPLORER, {"NoRun"});
}

using RepairPageControls = repairtest::RepairPageTest;

std::string TipText(ImageButton& button) {
    char text[256] = {};
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = button;
    info.uId = 1;
    info.lpszText = text;
    vxtest::LetMouseReach(button);
    if (!button.ToolTip() || !SendMessageA(button.ToolTip(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)))
        return "(no tooltip)";
    return text;
}

TEST_F(RepairPageControls, FourImageButtonsWithTheirPicturesAndTooltipsAndTheResultList) {
    struct Expected {
        int id;
        const char* tip;
    } buttons[] = {
        {IDC_REPAIR_REGISTRY, "Repair registry changed by malicious programs\r\nNo harm to your computer"},
        {IDC_REPAIR_CLEANUP, "Enable you to clear your disk of unnecessary files\r\nNo harm to your computer"},
        {IDC_REPAIR_SHUTDOWN, "Shutdown windows by timer\r\nNo harm to your computer"},
        {IDC_REPAIR_CANCEL_SHUTDOWN, "Cancel shutdown\r\nNo harm to your computer"},
    };
    for (const Expected& expected : buttons) {
        ImageButton* button = dynamic_cast<ImageButton*>(ui::Window::FromHandle(page.Item(expected.id)));
        ASSERT_NE(nullptr, button) << expected.id;
        EXPECT_NE(nullptr, button->Bitmap(0)) << expected.id;
        EXPECT_EQ(nullptr, button->Bitmap(1)) << "one picture for every state";
        EXPECT_EQ(1, button->ImagePlacement());
        EXPECT_EQ(expected.tip, TipText(*button));
    }

    HWND list = page.Results().Hwnd();
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
              SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(ui::ScaleForDpi(500), SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(ui::ScaleForDpi(235), SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ("Content", vxtest::ColumnTitle(list, 0));
    EXPECT_EQ("State", vxtest::ColumnTitle(list, 1));
}

}  // namespace
