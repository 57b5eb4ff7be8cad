// Immunity: a hidden AUTORUN.INF folder in every drive root, so that no
// program can write an AUTORUN.INF file there, and autorun switched off for
// removable and fixed drives. Whether a drive is immune is simply whether its
// root holds that folder.
#pragma once

// Makes the drive at `root` ("E:\") immune: an AUTORUN.INF file found there
// is quarantined with a warning, then the hidden folder is made with its
// inner folder and ReadMe.txt. A drive already holding the folder is left
// as it is. A drive where the folder cannot be made (read-only medium, a file
// that could not be quarantined) stays without immunity.
void ImmunizeDrive(const char* root);

// Removes what ImmunizeDrive made at `root`; a folder that holds anything
// else stays. An AUTORUN.INF file there is quarantined with a warning. False
// when the folder (or file) could not be removed.
bool CancelDriveImmunity(const char* root);

// Every removable and fixed drive, then the autorun policy, then the result
// message.
void AcquireImmunityAll();
void CancelImmunityAll();
