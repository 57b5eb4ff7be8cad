// The quarantine store: every file the program deletes is first copied, in a
// neutralised form, into the "quarantine" folder beside the executable, from
// where it can be restored. The folder's contents are the whole store; each
// quarantined file carries its origin path in its header:
//
//   "Brisquandel" (11 bytes, no terminator)
//   origin path (1..255 bytes, no terminator)
//   CR LF
//   content, each byte b stored as (b + QUARANTINE_SHIFT) mod 256
//
// Paths are single-byte strings of at most 255 characters; out-buffers are
// caller-owned and at least 256 bytes long.
#pragma once
#include <windows.h>

const char QUARANTINE_SIGNATURE[] = "Brisquandel";
const DWORD QUARANTINE_SIGNATURE_LENGTH = sizeof QUARANTINE_SIGNATURE - 1;
// Added to every content byte, so that a stored program no longer starts with
// its own header and can be neither run nor recognised.
const BYTE QUARANTINE_SHIFT = 0x5D;
const DWORD QUARANTINE_PATH_MAX = 255;

// Results of CopyQuarantineFile.
const int QCOPY_OK = 1;
const int QCOPY_BAD_ARGS = 2;                // a path is null, empty or longer than 255
const int QCOPY_PLAIN_SIDE_FAILED = 3;       // the plain file cannot be opened/created, read (storing) or written (restoring)
const int QCOPY_QUARANTINE_SIDE_FAILED = 4;  // the quarantined file cannot be created/written (storing) or opened/read (restoring)
const int QCOPY_ALREADY_QUARANTINED = 5;     // storing: the plain file begins with the signature; nothing written
const int QCOPY_NOT_QUARANTINED = 6;         // restoring: no signature, or its read failed; nothing written

// Results of RestoreQuarantinedFile.
const int RESTORE_FAILED = 0;
const int RESTORE_TO_ORIGIN = 1;
const int RESTORE_TO_DESKTOP = 2;

// The executable's folder with its trailing backslash. FALSE when `folder` is
// null or the folder does not fit into 255 characters.
BOOL GetProgramFolder(char* folder);

// The text after the last backslash of `path` (empty when the path ends in
// one). FALSE, with `name` untouched, when the path holds no backslash or the
// name does not fit into 255 characters.
BOOL ExtractFileName(const char* path, char* name);

// The quarantine folder with its trailing backslash, created when missing.
BOOL GetQuarantineFolder(char* folder);

// storing TRUE: writes `plainPath` as a quarantined file at `quarantinedPath`,
// or, when that name is taken, at a numbered name "<stem>.<N>.bq" that no
// other store of this process has used (N starts from the clock, so each
// taken name costs one failed create, not one per earlier copy); an
// existing file is never overwritten. storing FALSE:
// writes the content of the quarantined file into the new file `plainPath`.
// QCOPY_OK means every byte was written and flushed; on every failure the
// file this call created is removed again.
int CopyQuarantineFile(const char* plainPath, const char* quarantinedPath, BOOL storing);

// Quarantines the file and then deletes it, whatever its attributes. The file
// is deleted only when its quarantined copy is complete, or when it is itself
// a quarantined file; otherwise it stays untouched and the result is FALSE.
// TRUE when the file has been deleted.
BOOL QuarantineAndDelete(const char* path);

// The origin path from a quarantined file's header. FALSE when the file
// cannot be opened, lacks the signature or names an origin longer than 255.
BOOL ReadQuarantineOrigin(const char* quarantinedPath, char* origin);

// Restores a quarantined file to its origin, or to the desktop when the
// origin cannot be created; the quarantined file stays.
int RestoreQuarantinedFile(const char* quarantinedPath);
