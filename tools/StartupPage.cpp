#include "tools/StartupPage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "controls/PageButton.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "usb/RiskyFiles.h"

namespace {

const int APPLICATION_COLUMN_WIDTH = 120;
const int COMMAND_COLUMN_WIDTH = 400;
const int LOCATION_COLUMN_WIDTH = 300;
const int KEY_PATH_BUFFER = 256;

const char CURRENT_USER[] = "HKEY_CURRENT_USER";
const char LOCAL_MACHINE[] = "HKEY_LOCAL_MACHINE";
const int CURRENT_USER_LENGTH = sizeof CURRENT_USER - 1;
const int LOCAL_MACHINE_LENGTH = sizeof LOCAL_MACHINE - 1;

struct StartupKey {
    HKEY root;
    const char* path;
};

// Read in this order. "WindowsNT" is written without a space, as these keys
// have always been looked up.
const StartupKey STARTUP_KEYS[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Windows"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Winlogon"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\WindowsNT\\CurrentVersion\\Winlogon"},
};

// The 32-bit programs' counterpart of a machine key "Software\...".
std::string Wow64Counterpart(const char* keyPath) {
    const char software[] = "Software\\";
    return std::string(software) + "WOW6432Node\\" + (keyPath + sizeof software - 1);
}

using NtQueryKeyFn = LONG(NTAPI*)(HANDLE key, int informationClass, void* information, ULONG length,
                                  ULONG* resultLength);
const int KEY_NAME_INFORMATION = 3;

// The registry's own full name of an opened key ("\REGISTRY\MACHINE\..."),
// or "" when the system does not say.
std::wstring KeyObjectName(HKEY key) {
    static const NtQueryKeyFn query = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll ? reinterpret_cast<NtQueryKeyFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryKey")))
                     : nullptr;
    }();
    if (!query) return std::wstring();
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    std::vector<ULONG> buffer(1024);
    ULONG length = 0;
    if (query(key, KEY_NAME_INFORMATION, buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(ULONG)),
              &length) != 0) {
        return std::wstring();
    }
    ULONG nameBytes = std::min<ULONG>(buffer[0], static_cast<ULONG>((buffer.size() - 1) * sizeof(ULONG)));
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1), nameBytes / sizeof(wchar_t));
}

// True when both paths lead to one key: the system shares some keys between
// the 64-bit and the 32-bit view, and their values are then listed once.
bool IsSameKey(HKEY root, const char* path, const char* otherPath) {
    ui::ScopedRegKey key, other;
    if (OpenStartupKey(root, path, KEY_QUERY_VALUE, &key.Out()) != ERROR_SUCCESS ||
        OpenStartupKey(root, otherPath, KEY_QUERY_VALUE, &other.Out()) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring name = KeyObjectName(key);
    std::wstring otherName = KeyObjectName(other);
    return !name.empty() && name.size() == otherName.size() &&
           CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(name.size()),
                          otherName.c_str(), static_cast<int>(otherName.size())) == CSTR_EQUAL;
}

std::string HexBytes(const BYTE* data, DWORD size) {
    std::string text;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        text += byte;
    }
    return text;
}

// Grows on demand; a value may change between the size query and the read.
const int MAX_GROW_STEPS = 24;

}  // namespace

std::string FormatStartupData(DWORD type, const BYTE* data, DWORD size) {
    if (!data) size = 0;
    const char* chars = reinterpret_cast<const char*>(data);
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        // Up to the first terminator, if the data holds one.
        return std::string(chars, strnlen(chars, size));
    case REG_MULTI_SZ: {
        std::string text;
        for (DWORD at = 0; at < size;) {
            size_t length = strnlen(chars + at, size - at);
            if (length > 0) {
                if (!text.empty()) text += ' ';
                text.append(chars + at, length);
            }
            at += static_cast<DWORD>(length) + 1;
        }
        return text;
    }
    case REG_DWORD:
        if (size == sizeof(DWORD)) {
            DWORD value;
            memcpy(&value, data, sizeof value);
            return std::to_string(value);
        }
        break;
    case REG_QWORD:
        if (size == sizeof(ULONGLONG)) {
            ULONGLONG value;
            memcpy(&value, data, sizeof value);
            return std::to_string(value);
        }
        break;
    }
    return HexBytes(data, size);
}

int SplitLocation(const char* location, char* keyPath) {
    if (!location || !keyPath) return 0;
    // The root name is compared as the text's first characters; the key path
    // starts after it and its backslash.
    const std::string text = location;
    const struct {
        const char* name;
        int length;
        int result;
    } roots[] = {{CURRENT_USER, CURRENT_USER_LENGTH, 1}, {LOCAL_MACHINE, LOCAL_MACHINE_LENGTH, 2}};
    for (const auto& root : roots) {
        if (!MatchNoCase(text.substr(0, static_cast<size_t>(root.length)).c_str(), root.name, root.length)) continue;
        size_t start = static_cast<size_t>(root.length) + 1;
        lstrcpynA(keyPath, start < text.size() ? text.c_str() + start : "", KEY_PATH_BUFFER);
        return root.result;
    }
    return 0;
}

LONG OpenStartupKey(HKEY root, const char* keyPath, REGSAM access, HKEY* key) {
    if (root == HKEY_LOCAL_MACHINE) access |= KEY_WOW64_64KEY;
    return RegOpenKeyExA(root, keyPath, 0, access, key);
}

void StartupPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_STARTUP_LIST, m_listStartup);
}

BOOL StartupPage::OnInitDialog() {
    Dialog::OnInitDialog();
    m_listStartup.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_listStartup.InsertColumns({{IDS_COL_APPLICATION, APPLICATION_COLUMN_WIDTH},
                                 {IDS_COL_COMMAND, COMMAND_COLUMN_WIDTH},
                                 {IDS_COL_LOCATION, LOCATION_COLUMN_WIDTH}});

    SetUpPageButton(m_btnRefresh, Hwnd(), IDC_STARTUP_REFRESH, IDB_REFRESH);
    SetUpPageButton(m_btnDelete, Hwnd(), IDC_STARTUP_DELETE, IDB_DELETE);
    OnCommandId(IDC_STARTUP_REFRESH, [this] { RefreshList(); });
    OnCommandId(IDC_STARTUP_DELETE, [this] { OnDelete(); });

    RefreshList();
    return TRUE;
}

void StartupPage::RefreshList() {
    m_nItemCount = 0;
    m_listStartup.SetRedraw(false);
    m_listStartup.DeleteAllItems();
    for (const StartupKey& key : STARTUP_KEYS) {
        AddRunKeyValues(key.root, key.path, m_listStartup);
        if (key.root != HKEY_LOCAL_MACHINE) continue;
        const std::string counterpart = Wow64Counterpart(key.path);
        if (!IsSameKey(HKEY_LOCAL_MACHINE, key.path, counterpart.c_str()))
            AddRunKeyValues(HKEY_LOCAL_MACHINE, counterpart.c_str(), m_listStartup);
    }
    m_listStartup.SetRedraw(true);
}

void StartupPage::AddRunKeyValues(HKEY root, const char* keyPath, ui::ListView& list) {
    const std::string location = std::string(root == HKEY_CURRENT_USER ? CURRENT_USER : LOCAL_MACHINE) + "\\" + keyPath;
    // Read access is enough to list: every user sees the machine's entries.
    ui::ScopedRegKey key;
    if (OpenStartupKey(root, keyPath, KEY_QUERY_VALUE, &key.Out()) != ERROR_SUCCESS) return;

    // Buffers sized for the longest name and data of the key, so that no
    // long value can hide the values after it.
    DWORD longestName = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, &longestData,
                     nullptr, nullptr);
    std::vector<char> name(std::max<DWORD>(longestName + 1, 256));
    std::vector<BYTE> data(std::max<DWORD>(longestData + 1, 256));
    int growSteps = 0;
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LONG result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (result == ERROR_MORE_DATA && growSteps < MAX_GROW_STEPS) {
            ++growSteps;
            name.resize(name.size() * 2);
            data.resize(std::max<size_t>(data.size() * 2, dataSize));
            continue;
        }
        if (result != ERROR_SUCCESS) return;
        growSteps = 0;
        ++index;
        int row = list.InsertItem(m_nItemCount, std::string(name.data(), nameLength));
        if (row < 0) continue;
        list.SetItemText(row, 1, FormatStartupData(type, data.data(), std::min<DWORD>(dataSize, data.size())));
        list.SetItemText(row, 2, location);
        ++m_nItemCount;
    }
}

void StartupPage::OnDelete() {
    int row = m_listStartup.GetFirstSelected();
    if (m_listStartup.GetItemCount() == 0) {
        ui::ShowMessage(IDS_NO_ITEM);
        return;
    }
    if (row < 0) {
        ui::ShowMessage(IDS_SELECT_ITEM);
        return;
    }
    const std::string name = m_listStartup.GetItemText(row, 0);
    const std::string location = m_listStartup.GetItemText(row, 2);
    if (ui::ShowMessage(ui::LoadString(IDS_DELETE_PREFIX) + name + "?", MB_OKCANCEL) != IDOK) return;

    char keyPath[KEY_PATH_BUFFER];
    int root = SplitLocation(location.c_str(), keyPath);
    if (root == 0) return;
    // Write access only for the deletion; a failure shows in the refreshed list.
    ui::ScopedRegKey key;
    if (OpenStartupKey(root == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, keyPath, KEY_SET_VALUE, &key.Out()) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, name.c_str());
    }
    RefreshList();
}
