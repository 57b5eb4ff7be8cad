// The disk clean-up's file and cache operations: deleting the files below a
// folder, the clean-up class of a file name, and emptying the URL cache.
#pragma once
#include <string>

#include "tools/ResultRows.h"

// The clean-up classes GetCleanupClass returns, and the deletion mode that
// selects every file.
enum CleanupClass {
    CLEANUP_OTHER = 0,
    CLEANUP_EVERY_FILE = 1,  // a mode, never a class
    CLEANUP_TMP = 2,
    CLEANUP_UNDERSCORE_MP = 3,
    CLEANUP_LOG = 4,
    CLEANUP_GID = 5,
    CLEANUP_CHK = 6,
    CLEANUP_OLD = 7,
    CLEANUP_BAK = 8,
};

// The longest file path the clean-up handles; longer ones are passed over.
constexpr size_t CLEANUP_PATH_MAX = 1023;

// The class of a file path by its extension: 2-8 for .tmp, ._mp, .log, .gid,
// .chk, .old, .bak in any case; 0 for a directory, a name without an
// extension and any other extension.
int GetCleanupClass(const char* path);

// True when `folder` must never be emptied wholesale: an empty or relative
// path, a drive root, the Windows or system folder, the user's profile,
// documents or desktop folder, or an ancestor of any of these.
bool IsRefusedCleanupFolder(const std::string& folder);

// Deletes the files below `folder` (which ends in a backslash) that `mode`
// selects (CLEANUP_EVERY_FILE, or one class), depth-first, reporting one row
// per file tried: "Deleted" or "Delete failed". Folders stay, and folders
// that are links (junctions, symbolic links) are not entered. A refused
// folder is not touched and gives no row. True when at least one search of
// the run found an entry.
bool DeleteFilesUnder(const ResultRowSink& addRow, const std::string& folder, int mode);

// Deletes every entry of the URL cache, reporting one row per entry: its
// local file, or its address when it has none. True when the enumeration
// ended because no entries were left.
bool ClearUrlCache(const ResultRowSink& addRow);
