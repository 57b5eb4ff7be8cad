#include "usb/Immunity.h"

#include <windows.h>

#include <string>

#include "quarantine/QuarantineStore.h"
#include "res/resource.h"
#include "ui/Guards.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "ui/SystemLibrary.h"
#include "usb/DriveInventory.h"

namespace {

const char IMMUNITY_FOLDER[] = "AUTORUN.INF";
// Passed to CreateDirectoryA and RemoveDirectoryA unchanged: with the closing
// backslash the two dots stay part of the name, which the shell cannot handle.
const char INNER_FOLDER[] = "\\tessivo..\\";
const char README_FILE[] = "\\ReadMe.txt";

// An AUTORUN.INF file in a root may be malware's, or a user's (a label, an
// icon, a copied CD): it goes to the quarantine, from where it can come back.
// The warning is shown either way. True when the file is gone.
bool QuarantineRootAutorunFile(const char* root, const std::string& path) {
    bool gone = QuarantineAndDelete(path.c_str()) != FALSE;
    ui::PlayResourceSound(IDR_ARRIVAL_SOUND);
    char text[1024];
    wsprintfA(text, ui::LoadString(IDS_ROOT_VIRUS_WARNING).c_str(), root);
    ui::ShowMessage(text, MB_OK);
    return gone;
}

void WriteReadMe(const std::string& path) {
    ui::ScopedFile file(
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string text = ui::LoadString(IDS_IMMUNITY_README);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Runs `treat` on the root ("C:\") of every removable and fixed drive, from A up.
template <typename Treat>
void ForEachLocalDrive(Treat treat) {
    // An empty floppy or card-reader slot is simply not immunized: without
    // this, Windows would ask the user to insert a disk, slot by slot.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    SetErrorMode(errorMode | SEM_FAILCRITICALERRORS);
    DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; mask != 0 && letter <= 'Z'; ++letter, mask >>= 1) {
        if (!(mask & 1)) continue;
        char root[4] = {letter, ':', '\\', 0};
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED) treat(root);
    }
    SetErrorMode(errorMode);
}

}  // namespace

void ImmunizeDrive(const char* root) {
    if (!root) return;
    const std::string folder = std::string(root) + IMMUNITY_FOLDER;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A folder of that name, ours or anyone's, already does the job.
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return;
        if (!QuarantineRootAutorunFile(root, folder)) return;
    }
    if (!CreateDirectoryA(folder.c_str(), nullptr)) return;
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryA((folder + INNER_FOLDER).c_str(), nullptr);
    WriteReadMe(folder + README_FILE);
}

bool CancelDriveImmunity(const char* root) {
    if (!root) return false;
    const std::string folder = std::string(root) + IMMUNITY_FOLDER;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return QuarantineRootAutorunFile(root, folder);

    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA((folder + INNER_FOLDER).c_str());
    const std::string readMe = folder + README_FILE;
    SetFileAttributesA(readMe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(readMe.c_str());
    // Fails, and keeps the folder, when it holds anything else.
    return RemoveDirectoryA(folder.c_str()) != FALSE;
}

void AcquireImmunityAll() {
    ForEachLocalDrive(ImmunizeDrive);
    DisableDriveAutoRun();
    ui::ShowMessage(IDS_IMMUNITY_ACQUIRED, MB_OK);
}

void CancelImmunityAll() {
    ForEachLocalDrive(CancelDriveImmunity);
    EnableDriveAutoRun();
    ui::ShowMessage(IDS_IMMUNITY_CANCELLED, MB_OK);
}
