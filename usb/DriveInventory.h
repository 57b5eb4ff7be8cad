// Which drive letters are USB drives, and the per-user Explorer policy that
// switches autorun on and off by drive type.
#pragma once
#include <windows.h>

// Room in a drive-letter list and in the start-up fixed-drive list.
constexpr int DRIVE_LIST_CAPACITY = 20;

// GetOsPlatform's values; any other platform id is returned unchanged.
constexpr int OS_PLATFORM_NT = 1;
constexpr int OS_PLATFORM_9X = 2;

// "NoDriveTypeAutoRun" values. Disabled: every type but CD-ROM and RAM disk
// has autorun off. Enabled: the system's default, removable and fixed drives
// get autorun back.
constexpr DWORD AUTORUN_POLICY_DISABLED = 0x9F;
constexpr DWORD AUTORUN_POLICY_ENABLED = 0x91;

// The fixed drives present at start-up, in ascending order; a zero entry ends
// the list. Read only on the Windows 9x family.
extern char g_szFixedDrives[DRIVE_LIST_CAPACITY];

// Fills g_szFixedDrives. Called once, before the first GetUsbDriveLetters.
void RecordFixedDrives();

// Writes the upper-case letters of the USB drives present, in ascending
// order, into the caller's zeroed list and returns their number. At most
// DRIVE_LIST_CAPACITY letters: the lowest ones when more qualify. Safe on any
// thread.
int GetUsbDriveLetters(char letters[DRIVE_LIST_CAPACITY]);

// RecordFixedDrives followed by GetUsbDriveLetters, with the same results,
// in one walk over the drives.
int RecordFixedDrivesAndGetUsbDriveLetters(char letters[DRIVE_LIST_CAPACITY]);

// OS_PLATFORM_NT, OS_PLATFORM_9X, another platform id, or 0 when the version
// cannot be read.
int GetOsPlatform();

// Write the current user's autorun policy. When the policy key cannot be
// opened, they show the registry message and change nothing.
void DisableDriveAutoRun();
void EnableDriveAutoRun();

// "Vantorix failed in accessing the registry...", with an OK button.
void ShowRegistryAccessFailed();

// The first-start question: asked only while `settingsKey` has no "autorun"
// value; whatever the answer, the value is written so that it is not asked
// again.
void AskDisableAutorun(HKEY settingsKey);
