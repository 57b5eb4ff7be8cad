#include "usb/DriveInventory.h"

#include "res/resource.h"
#include "ui/MessageBox.h"
#include "usb/SystemSeams.h"

#include <winioctl.h>

#include <cstdio>

char g_szFixedDrives[DRIVE_LIST_CAPACITY];

namespace {

const char EXPLORER_POLICIES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// Room for the descriptor and the vendor, product and serial strings after it.
const DWORD DEVICE_DESCRIPTOR_BUFFER_SIZE = 551;

// Walks the drives present from A upward and appends each letter that
// `counts` accepts to `out`. The walk ends when the list is full, so more
// qualifying drives than there is room for keep the lowest letters.
template <typename Predicate>
int CollectDriveLetters(char* out, Predicate counts) {
    int count = 0;
    DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; mask != 0 && count < DRIVE_LIST_CAPACITY; ++letter, mask >>= 1) {
        if (!(mask & 1)) continue;
        char root[4];
        snprintf(root, sizeof root, "%c:", letter);
        if (counts(letter, GetDriveTypeA(root))) out[count++] = letter;
    }
    return count;
}

// Whether the storage driver behind the volume reports a USB bus. A volume
// that cannot be opened or asked is not on USB.
bool IsVolumeOnUsbBus(char letter) {
    char name[8];
    snprintf(name, sizeof name, "\\\\?\\%c:", letter);
    // Access 0: the query needs none, and a standard user may not open a
    // volume for reading.
    HANDLE volume = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE) return false;

    bool usb = false;
    auto* descriptor = static_cast<STORAGE_DEVICE_DESCRIPTOR*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, DEVICE_DESCRIPTOR_BUFFER_SIZE));
    if (descriptor) {
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        descriptor->Size = DEVICE_DESCRIPTOR_BUFFER_SIZE;
        DWORD returned = 0;
        usb = QueryStorageProperty(volume, &query, sizeof query, descriptor, descriptor->Size, &returned) &&
              descriptor->BusType == BusTypeUsb;
        HeapFree(GetProcessHeap(), 0, descriptor);
    }
    CloseHandle(volume);
    return usb;
}

bool WasFixedAtStartup(char letter) {
    for (int i = 0; i < DRIVE_LIST_CAPACITY && g_szFixedDrives[i] != 0; ++i)
        if (g_szFixedDrives[i] == letter) return true;
    return false;
}

// The platform, asked once per walk and only when a fixed drive needs it.
class PlatformOnce {
public:
    int Get() {
        if (!m_known) {
            m_platform = GetOsPlatform();
            m_known = true;
        }
        return m_platform;
    }

private:
    bool m_known = false;
    int m_platform = 0;
};

// The Windows 9x family cannot tell the bus, so a fixed drive that was not
// there at start-up is taken for a USB disk.
bool IsUsbFixedDrive(char letter, PlatformOnce& platform) {
    if (platform.Get() == OS_PLATFORM_9X) return !WasFixedAtStartup(letter);
    return IsVolumeOnUsbBus(letter);
}

bool IsUsbDrive(char letter, UINT type, PlatformOnce& platform) {
    switch (type) {
    case DRIVE_REMOVABLE:
        // A: is the floppy drive, never a USB stick.
        return letter != 'A';
    case DRIVE_FIXED:
        return IsUsbFixedDrive(letter, platform);
    default:
        return false;
    }
}

void WriteAutorunPolicy(DWORD value) {
    HKEY key;
    // Opened, never created: a user without the key keeps the system's default.
    if (RegOpenKeyExA(HKEY_CURRENT_USER, EXPLORER_POLICIES_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        ShowRegistryAccessFailed();
        return;
    }
    RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

}  // namespace

void RecordFixedDrives() {
    ZeroMemory(g_szFixedDrives, sizeof g_szFixedDrives);
    CollectDriveLetters(g_szFixedDrives, [](char, UINT type) { return type == DRIVE_FIXED; });
}

int GetUsbDriveLetters(char letters[DRIVE_LIST_CAPACITY]) {
    PlatformOnce platform;
    return CollectDriveLetters(letters,
                               [&platform](char letter, UINT type) { return IsUsbDrive(letter, type, platform); });
}

int RecordFixedDrivesAndGetUsbDriveLetters(char letters[DRIVE_LIST_CAPACITY]) {
    // One walk, each drive's type asked once. A fixed drive is recorded before
    // it is judged, so the 9x family never takes it for a USB disk, as when
    // the two walks run one after the other.
    ZeroMemory(g_szFixedDrives, sizeof g_szFixedDrives);
    PlatformOnce platform;
    int fixed = 0, count = 0;
    DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; mask != 0; ++letter, mask >>= 1) {
        if (!(mask & 1)) continue;
        const bool listsFull = fixed == DRIVE_LIST_CAPACITY && count == DRIVE_LIST_CAPACITY;
        if (listsFull) break;
        char root[4];
        snprintf(root, sizeof root, "%c:", letter);
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_FIXED && fixed < DRIVE_LIST_CAPACITY) g_szFixedDrives[fixed++] = letter;
        if (count < DRIVE_LIST_CAPACITY && IsUsbDrive(letter, type, platform)) letters[count++] = letter;
    }
    return count;
}

int GetOsPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof info == 148, "the size field of OSVERSIONINFOA is 148");
    if (!QueryOsVersion(&info)) return 0;
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        return OS_PLATFORM_NT;
    case VER_PLATFORM_WIN32_WINDOWS:
        return OS_PLATFORM_9X;
    default:
        return static_cast<int>(info.dwPlatformId);
    }
}

void DisableDriveAutoRun() { WriteAutorunPolicy(AUTORUN_POLICY_DISABLED); }

void EnableDriveAutoRun() { WriteAutorunPolicy(AUTORUN_POLICY_ENABLED); }

void ShowRegistryAccessFailed() { ui::ShowMessage(IDS_REGISTRY_ACCESS_FAILED, MB_OK); }

void AskDisableAutorun(HKEY settingsKey) {
    if (RegQueryValueExA(settingsKey, "autorun", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return;
    if (ui::ShowMessage(IDS_ASK_DISABLE_AUTORUN, MB_OKCANCEL) == IDOK) DisableDriveAutoRun();
    // Written whatever the answer: the question is asked once.
    static const char answered[] = "1";
    RegSetValueExA(settingsKey, "autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>(answered), sizeof answered);
}
