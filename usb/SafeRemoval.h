// Safe removal of the USB drives: the processes that run from them and the
// shell are ended, then each volume is ejected and the system's removal
// dialog opened, or the user is offered a log-off.
#pragma once

// EjectUsbVolume's results.
const int EJECT_FAILED = 0;           // not opened, locked or dismounted
const int EJECT_DONE = 1;             // locked, dismounted and ejected
const int EJECT_DISMOUNTED_ONLY = 2;  // removal not allowed or medium not ejected

// Locks, dismounts and ejects the volume of `letter`. Diagnostics go to
// standard output only.
int EjectUsbVolume(char letter);

// The whole procedure behind the tools page's button and the tray command:
// asks first, ends every process that runs from a USB drive (never this
// one) and the shell, waits until they are gone, then on the NT family
// ejects each USB volume and opens the removal dialog or offers the log-off;
// at the end the shell is started again as the user it ran as.
void SafelyRemoveUsbDrives();
