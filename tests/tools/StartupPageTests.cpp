#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainDialog.h"
#include "tests/common/TestSupport.h"
#include "tools/StartupPage.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char RUN[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char RUN_WOW64[] = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char HKLM_RUN[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char HKCU_RUN[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char HKLM_RUN_WOW64[] = "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char NO_ITEM[] = "No item";
const char SELECT_ITEM[] = "Please select an item";

struct Key {
    HKEY root;
    const char* path;
};

// Every key the page reads, in the order of its rows: each machine key is
// followed by its 32-bit counterpart.
const Key READ_ORDER[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Windows"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Winlogon"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Winlogon"},
    {HKEY_LOCAL_MACHINE, "Software\\WOW6432Node\\Microsoft\\WindowsNT\\CurrentVersion\\Winlogon"},
};

std::string Location(const Key& key) {
    return std::string(key.root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") + key.path;
}

void SetValue(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size,
              REGSAM view = 0) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr))
        << path;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size)) << name;
    RegCloseKey(key);
}

void SetText(HKEY root, const char* path, const char* name, const std::string& text, REGSAM view = 0) {
    SetValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1), view);
}

bool ValueExists(HKEY root, const char* path, const char* name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return false;
    bool exists = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

// Deletes every value of the keys the page reads (the sandbox's own registry).
void EmptyStartupKeys() {
    for (const Key& k : READ_ORDER) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(k.root, k.path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
        for (;;) {
            char name[16384];
            DWORD length = sizeof name;
            if (RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
        }
        RegCloseKey(key);
    }
}

// Removes again, deepest first, the keys (and their parents) that the page
// reads and that did not exist when it was made: other suites need some of
// them absent.
class KeysCreatedByTest {
public:
    KeysCreatedByTest() {
        for (const Key& key : READ_ORDER) {
            std::string path = key.path;
            for (;;) {
                HKEY opened = nullptr;
                if (RegOpenKeyExA(key.root, path.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
                    RegCloseKey(opened);
                } else {
                    m_missing.push_back({key.root, path});
                }
                size_t slash = path.rfind('\\');
                if (slash == std::string::npos) break;
                path.resize(slash);
            }
        }
        std::sort(m_missing.begin(), m_missing.end(),
                  [](const Missing& a, const Missing& b) { return a.path.size() > b.path.size(); });
    }
    ~KeysCreatedByTest() {
        EmptyStartupKeys();
        for (const Missing& key : m_missing) RegDeleteKeyA(key.root, key.path.c_str());
    }
    KeysCreatedByTest(const KeysCreatedByTest&) = delete;
    KeysCreatedByTest& operator=(const KeysCreatedByTest&) = delete;

private:
    struct Missing {
        HKEY root;
        std::string path;
    };
    std::vector<Missing> m_missing;
};

struct Row {
    std::string name, command, location;
    bool operator==(const Row& o) const { return name == o.name && command == o.command && location == o.location; }
};
void PrintTo(const Row& row, std::ostream* out) {
    *out << "{" << row.name << " | " << row.command << " | " << row.location << "}";
}

class StartupPageTest : public testing::Test {
protected:
    void SetUp() override {
        EmptyStartupKeys();
        host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(host);
        ASSERT_TRUE(page.Create(host));
    }
    void TearDown() override {
        page.DestroyWindow();
        DestroyWindow(host);
    }

    std::vector<Row> Rows() {
        std::vector<Row> rows;
        ui::ListView& list = page.Entries();
        for (int row = 0; row < list.GetItemCount(); ++row)
            rows.push_back({list.GetItemText(row, 0), list.GetItemText(row, 1), list.GetItemText(row, 2)});
        return rows;
    }
    std::string CommandOf(const std::string& name) {
        for (const Row& row : Rows())
            if (row.name == name) return row.command;
        ADD_FAILURE() << "no row " << name;
        return "";
    }
    void Select(const std::string& name, const std::string& location) {
        std::vector<Row> rows = Rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name && rows[i].location == location) {
                ASSERT_TRUE(page.Entries().Select(static_cast<int>(i)));
                return;
            }
        }
        FAIL() << "no row " << name << " at " << location;
    }

    KeysCreatedByTest createdKeys;
    HWND host = nullptr;
    StartupPage page;
};

// True when `path` is the 32-bit counterpart of the key before it in
// READ_ORDER and the system shares that key between both views.
bool SharedWithThePreviousKey(size_t index) {
    const Key& key = READ_ORDER[index];
    if (index == 0 || !strstr(key.path, "WOW6432Node")) return false;
    const Key& native = READ_ORDER[index - 1];
    SetText(native.root, native.path, "probe", "probe");
    bool shared = ValueExists(key.root, key.path, "probe");
    HKEY k = nullptr;
    if (RegOpenKeyExA(native.root, native.path, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegDeleteValueA(k, "probe");
        RegCloseKey(k);
    }
    return shared;
}

TEST_F(StartupPageTest, ReadsEveryKeyInOrderWithItsLocation) {
    EXPECT_TRUE(Rows().empty()) << "no values in any of the keys";
    std::vector<Row> expected;
    int shared = 0;
    for (size_t i = 0; i < sizeof READ_ORDER / sizeof READ_ORDER[0]; ++i) {
        // A key both views share is listed once, under its own path.
        if (SharedWithThePreviousKey(i)) {
            ++shared;
            continue;
        }
        const Key& key = READ_ORDER[i];
        const std::string command = "C:\\programs\\" + std::to_string(i) + ".exe";
        SetText(key.root, key.path, "entry", command);
        expected.push_back({"entry", command, Location(key)});
    }
    page.RefreshList();
    EXPECT_EQ(expected, Rows());
    EXPECT_EQ(7u + 15u - shared, Rows().size());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Windows", "entry"))
        << "\"WindowsNT\" is a key of its own";
}

TEST_F(StartupPageTest, TheSameNameUnderBothRootsAndTheDefaultValue) {
    SetText(HKEY_LOCAL_MACHINE, RUN, "Same", "machine.exe");
    SetText(HKEY_CURRENT_USER, RUN, "Same", "user.exe");
    SetText(HKEY_CURRENT_USER, RUN, "", "default.exe");
    page.RefreshList();
    EXPECT_EQ((std::vector<Row>{{"Same", "machine.exe", HKLM_RUN}, {"", "default.exe", HKCU_RUN},
                                {"Same", "user.exe", HKCU_RUN}}),
              Rows());

    Select("Same", HKCU_RUN);
    vxtest::ExpectMessage("Delete: Same?", IDOK);
    page.OnDelete();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, RUN, "Same"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, RUN, "Same"));

    Select("", HKCU_RUN);
    vxtest::ExpectMessage("Delete: ?", IDOK);
    page.OnDelete();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, RUN, ""));
    EXPECT_EQ((std::vector<Row>{{"Same", "machine.exe", HKLM_RUN}}), Rows()) << "the list is read again";
}

TEST_F(StartupPageTest, LongNamesAndDataHideNothing) {
    const std::string longName = "a" + std::string(400, 'n');
    const std::string longData = "C:\\" + std::string(2000, 'd') + ".exe";
    SetText(HKEY_CURRENT_USER, RUN, longName.c_str(), "short.exe");
    SetText(HKEY_CURRENT_USER, RUN, "b-long-data", longData);
    SetText(HKEY_CURRENT_USER, RUN, "c-after", "after.exe");
    SetText(HKEY_LOCAL_MACHINE, RUN, "machine", "machine.exe");
    page.RefreshList();
    EXPECT_EQ((std::vector<Row>{{"machine", "machine.exe", HKLM_RUN},
                                {longName, "short.exe", HKCU_RUN},
                                {"b-long-data", longData, HKCU_RUN},
                                {"c-after", "after.exe", HKCU_RUN}}),
              Rows());

    Select(longName, HKCU_RUN);
    vxtest::ExpectMessage("Delete: " + longName + "?", IDOK);
    page.OnDelete();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, RUN, longName.c_str()));
}

TEST_F(StartupPageTest, DataOfEveryTypeIsShownAsText) {
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        const char* shown;
    } cases[] = {
        {"expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe /s", 22), "%SystemRoot%\\x.exe /s"},
        {"multi", REG_MULTI_SZ, std::string("one\0two three\0\0", 16), "one two three"},
        {"dword", REG_DWORD, std::string("\x2A\0\0\0", 4), "42"},
        {"dword-max", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4), "4294967295"},
        {"qword", REG_QWORD, std::string("\0\0\0\0\0\x01\0\0", 8), "1099511627776"},
        {"binary", REG_BINARY, std::string("\x00\x7F\xAB", 3), "00 7F AB"},
        {"short-dword", REG_DWORD, std::string("\x01\x02", 2), "01 02"},
        {"none", REG_NONE, std::string(), ""},
        {"string", REG_SZ, std::string("ab\0cd", 6), "ab"},
        {"unterminated", REG_SZ, std::string("abc", 3), "abc"},
    };
    for (const Case& c : cases)
        SetValue(HKEY_CURRENT_USER, RUN, c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    page.RefreshList();
    for (const Case& c : cases) EXPECT_EQ(c.shown, CommandOf(c.name)) << c.name;
}

TEST(FormatStartupData, ReadsNothingPastTheDataLength) {
    const BYTE text[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ("ab", FormatStartupData(REG_SZ, text, 2));
    EXPECT_EQ("ab", FormatStartupData(REG_MULTI_SZ, text, 2));
    EXPECT_EQ("61 62 63", FormatStartupData(REG_DWORD, text, 3));
    EXPECT_EQ("", FormatStartupData(REG_BINARY, text, 0));
    EXPECT_EQ("", FormatStartupData(REG_SZ, nullptr, 5));
}

TEST_F(StartupPageTest, EmptyListNoSelectionAndCancel) {
    vxtest::ExpectMessage(NO_ITEM);
    page.OnDelete();

    SetText(HKEY_CURRENT_USER, RUN, "keep", "keep.exe");
    page.RefreshList();
    vxtest::ExpectMessage(SELECT_ITEM);
    page.OnDelete();

    Select("keep", HKCU_RUN);
    vxtest::ExpectMessage("Delete: keep?", IDCANCEL);
    page.OnDelete();
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, RUN, "keep"));
    EXPECT_EQ(1u, Rows().size());
}

TEST_F(StartupPageTest, MachineKeysOfBothViewsAreListedAndDeletedInTheirOwnView) {
    SetText(HKEY_LOCAL_MACHINE, RUN, "native", "native.exe", KEY_WOW64_64KEY);
    SetText(HKEY_LOCAL_MACHINE, RUN, "wow32", "wow32.exe", KEY_WOW64_32KEY);
    ASSERT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, RUN_WOW64, "wow32")) << "the 32-bit view lies under WOW6432Node";
    page.RefreshList();
    EXPECT_EQ((std::vector<Row>{{"native", "native.exe", HKLM_RUN}, {"wow32", "wow32.exe", HKLM_RUN_WOW64}}), Rows());

    Select("wow32", HKLM_RUN_WOW64);
    vxtest::ExpectMessage("Delete: wow32?", IDOK);
    page.OnDelete();
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, RUN, "wow32", KEY_WOW64_32KEY));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, RUN, "native", KEY_WOW64_64KEY));
    EXPECT_EQ((std::vector<Row>{{"native", "native.exe", HKLM_RUN}}), Rows());
}

TEST(SplitLocation, GivesTheRootAndTheKeyPath) {
    struct Case {
        const char* location;
        int root;
        const char* path;
    } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Run", 1, "Software\\Run"},
        {"hkey_current_user\\Software\\Run", 1, "Software\\Run"},
        {"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Run", 2, "Software\\WOW6432Node\\Run"},
        {"HKEY_CURRENT_USER", 1, ""},
        {"HKEY_LOCAL_MACHINE\\", 2, ""},
        {"HKEY_USERS\\.DEFAULT\\Software", 0, "untouched"},
        {"HKEY_CURRENT", 0, "untouched"},
        {"", 0, "untouched"},
    };
    for (const Case& c : cases) {
        char path[256] = "untouched";
        EXPECT_EQ(c.root, SplitLocation(c.location, path)) << c.location;
        EXPECT_STREQ(c.path, path) << c.location;
    }
}

TEST(StartupPageScreenshot, ThePageWithRows) {
    KeysCreatedByTest createdKeys;
    EmptyStartupKeys();
    SetText(HKEY_LOCAL_MACHINE, RUN, "SoundMixer", "\"C:\\Program Files\\Mixer\\mixtray.exe\" /background");
    SetText(HKEY_LOCAL_MACHINE, RUN_WOW64, "UpdateHelper", "C:\\Program Files (x86)\\Helper\\update.exe -q");
    SetText(HKEY_CURRENT_USER, RUN, "Notes", "C:\\users\\me\\AppData\\Local\\Notes\\notes.exe");
    DWORD flag = 1;
    SetValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "CleanUp", REG_DWORD,
             &flag, sizeof flag);
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); });
    ShowWindow(dialog.Hwnd(), SW_RESTORE);
    dialog.ShowPage(PAGE_STARTUP);
    StartupPage& startup = *static_cast<StartupPage*>(dialog.Page(PAGE_STARTUP));
    startup.RefreshList();
    EXPECT_EQ(4, startup.Entries().GetItemCount());
    startup.Entries().Select(2);
    EXPECT_NE("", vxtest::SaveScreenshot(dialog.Hwnd(), "startup_page"));
    dialog.DestroyWindow();
}

}  // namespace
