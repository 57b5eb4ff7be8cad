#include "usb/SafeRemoval.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "usb/DriveInventory.h"
#include "usb/ProcessTools.h"
#include "usb/RiskyFiles.h"
#include "usb/SystemSeams.h"

namespace {

const DWORD PROCESS_ACCESS_ALL = 0x1F0FFF;  // PROCESS_ALL_ACCESS as NT 4 and XP know it
const char SHELL_NAME[] = "explorer.exe";
const int SHELL_NAME_LENGTH = 12;
const char REMOVAL_COMMAND[] = "\\system32\\RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
// TerminateProcess only starts the end; the files of a process close when it
// is gone. How long all ended processes together may take to go.
const DWORD PROCESS_EXIT_WAIT_MS = 5000;

// A shell that was ended, to be started again as the user it ran as.
struct EndedShell {
    std::string path;
    ui::ScopedHandle token;  // a primary duplicate of the shell's token, or none
};

bool IsShellPath(const char* path) {
    size_t length = strlen(path);
    return length > SHELL_NAME_LENGTH && MatchNoCase(path + length - SHELL_NAME_LENGTH, SHELL_NAME, SHELL_NAME_LENGTH);
}

// The shell's own token, taken before it is ended: the new shell must run as
// the same user at the same integrity, never with this program's elevation.
ui::ScopedHandle DuplicateProcessToken(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, &token)) return ui::ScopedHandle();
    ui::ScopedHandle shellToken(token);
    HANDLE duplicate = nullptr;
    if (!DuplicateTokenEx(shellToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &duplicate))
        return ui::ScopedHandle();
    return ui::ScopedHandle(duplicate);
}

// Integrity level of a token: 0 where the system has none (before Vista).
DWORD IntegrityLevel(HANDLE token) {
    const TOKEN_INFORMATION_CLASS TOKEN_INTEGRITY_LEVEL = static_cast<TOKEN_INFORMATION_CLASS>(25);
    union {
        SID_AND_ATTRIBUTES label;  // TOKEN_MANDATORY_LABEL
        BYTE bytes[64];
    } buffer;
    DWORD size = 0;
    if (!GetTokenInformation(token, TOKEN_INTEGRITY_LEVEL, &buffer, sizeof buffer, &size)) return 0;
    PSID sid = buffer.label.Sid;
    return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
}

// Whether a process started by this program would run as the shell did:
// the same user, session and integrity.
bool RunsAsShell(HANDLE shellToken) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    ui::ScopedHandle own(raw);
    BYTE ownUser[256], shellUser[256];
    DWORD size = 0, ownSession = 0, shellSession = 0;
    if (!GetTokenInformation(own, TokenUser, ownUser, sizeof ownUser, &size) ||
        !GetTokenInformation(shellToken, TokenUser, shellUser, sizeof shellUser, &size))
        return false;
    if (!EqualSid(reinterpret_cast<TOKEN_USER*>(ownUser)->User.Sid, reinterpret_cast<TOKEN_USER*>(shellUser)->User.Sid))
        return false;
    GetTokenInformation(own, TokenSessionId, &ownSession, sizeof ownSession, &size);
    GetTokenInformation(shellToken, TokenSessionId, &shellSession, sizeof shellSession, &size);
    return ownSession == shellSession && IntegrityLevel(own) == IntegrityLevel(shellToken);
}

void StartShell(const EndedShell& shell) {
    std::string commandLine = "\"" + shell.path + "\"";
    // In its own folder: this program's may be on a drive just ejected.
    const std::string folder = shell.path.substr(0, shell.path.rfind('\\') + 1);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    bool ok = shell.token && CreateProcessAsUserA(shell.token, shell.path.c_str(), &commandLine[0], nullptr, nullptr,
                                                  FALSE, 0, nullptr, folder.c_str(), &startup, &started);
    // Where the token cannot be used (no privilege to assign it), this
    // program may start the shell itself only when it runs as the shell did.
    // Without the shell's token that cannot be known: no shell then, rather
    // than one with this program's rights.
    if (!ok && shell.token && RunsAsShell(shell.token))
        ok = CreateProcessA(shell.path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &started);
    if (!ok) return;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

// Ends every process that runs from one of the USB drives and every shell,
// except this program itself (it may run from a USB drive). Returns the
// ended processes, to be waited for, and fills `shells` with the shells to
// start again.
std::vector<ui::ScopedHandle> EndUsbProcessesAndShell(const char* letters, int count,
                                                      std::vector<EndedShell>* shells) {
    std::vector<ui::ScopedHandle> ended;
    ui::ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ended;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self) continue;
        MODULEENTRY32 module = {};
        if (!FindExeModule(entry.th32ProcessID, &module, sizeof module)) continue;
        const bool onUsb = count > 0 && memchr(letters, module.szExePath[0], count) != nullptr;
        const bool shell = IsShellPath(module.szExePath);
        if (!onUsb && !shell) continue;
        ui::ScopedHandle process(OpenProcess(PROCESS_ACCESS_ALL, FALSE, entry.th32ProcessID));
        if (!process) continue;
        if (shell) {
            ui::ScopedHandle token = DuplicateProcessToken(process);
            if (!TerminateShellProcess(process, entry.th32ProcessID, 0)) continue;
            // A shell that ran from a USB drive is not started again: the drive is going.
            const std::string path = module.szExePath;
            bool known = std::any_of(shells->begin(), shells->end(),
                                     [&](const EndedShell& s) { return lstrcmpiA(s.path.c_str(), path.c_str()) == 0; });
            if (!onUsb && !known) shells->push_back(EndedShell{path, std::move(token)});
        } else if (!TerminateProcess(process, 0)) {
            continue;
        }
        ended.push_back(std::move(process));
    }
    return ended;
}

void WaitUntilGone(const std::vector<ui::ScopedHandle>& processes) {
    const DWORD start = GetTickCount();
    for (const ui::ScopedHandle& process : processes) {
        DWORD spent = GetTickCount() - start;
        WaitForProcessExit(process, spent < PROCESS_EXIT_WAIT_MS ? PROCESS_EXIT_WAIT_MS - spent : 0);
    }
}

// Ejects each USB volume: the system's removal dialog for those that went,
// the log-off question for those that could not be taken.
void EjectVolumes(const char* letters, int count) {
    char windows[128] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string removalCommand = std::string(windows) + REMOVAL_COMMAND;
    for (int i = 0; i < count; ++i) {
        if (EjectUsbVolume(letters[i]) == EJECT_FAILED) {
            if (ui::ShowMessage(IDS_CONFIRM_LOG_OFF, MB_OKCANCEL) == IDOK) ExitSession(EWX_LOGOFF, 0);
            continue;
        }
        std::string commandLine = removalCommand;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
}

}  // namespace

int EjectUsbVolume(char letter) {
    char root[4] = {letter, ':', '\\', 0};
    DWORD access;
    switch (GetDriveTypeA(root)) {
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    case DRIVE_CDROM:
        access = GENERIC_READ;
        break;
    default:
        fputs("Cannot eject.  Drive type is incorrect.\n", stdout);
        fflush(stdout);
        return EJECT_FAILED;
    }
    char name[8] = {'\\', '\\', '.', '\\', letter, ':', 0};
    ui::ScopedFile volume(
        CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!volume) {
        DWORD error = GetLastError();
        printf("Error %d: %s\n", static_cast<int>(error), "CreateFile");
        fflush(stdout);
        return EJECT_FAILED;
    }
    const bool locked = SendVolumeControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0) != FALSE;
    const bool dismounted = locked && SendVolumeControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0);
    PREVENT_MEDIA_REMOVAL removal = {};
    removal.PreventMediaRemoval = FALSE;
    const bool allowed = dismounted && SendVolumeControl(volume, IOCTL_STORAGE_MEDIA_REMOVAL, &removal, sizeof removal);
    const bool ejected = allowed && SendVolumeControl(volume, IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0);
    if (!CloseHandle(volume.Release())) return EJECT_FAILED;
    if (!dismounted) return EJECT_FAILED;
    return ejected ? EJECT_DONE : EJECT_DISMOUNTED_ONLY;
}

void SafelyRemoveUsbDrives() {
    if (ui::ShowMessage(IDS_CONFIRM_PROGRAMS_EXITED, MB_OKCANCEL) != IDOK) return;
    char letters[DRIVE_LIST_CAPACITY] = {};
    const int count = GetUsbDriveLetters(letters);

    std::vector<EndedShell> shells;
    WaitUntilGone(EndUsbProcessesAndShell(letters, count, &shells));

    if (GetOsPlatform() == OS_PLATFORM_NT) EjectVolumes(letters, count);
    // The user keeps a desktop. Also after a log-off request: a program may
    // still refuse to end and keep the session going.
    for (const EndedShell& shell : shells) StartShell(shell);
}
