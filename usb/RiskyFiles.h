// The file extensions that can carry or launch malicious code, and the test
// that maps a path to one of them. Pure classification: each caller adds its
// own rule (hidden attribute, which types count).
#pragma once

// The codes GetRiskyFileType returns; callers switch on them.
enum RiskyFileType {
    RISKY_NONE = 0,
    RISKY_EXE = 1,
    RISKY_COM = 2,
    RISKY_DLL = 3,
    RISKY_HTML = 4,
    RISKY_BAT = 5,
    RISKY_INF = 6,
    RISKY_PIF = 7,
    RISKY_REG = 8,
    RISKY_LNK = 9,
    RISKY_SCR = 10,
    RISKY_ASP = 11,
    RISKY_JS = 12,
    RISKY_VBS = 13,
    RISKY_WSF = 14,
    RISKY_WSH = 15,
    RISKY_ASPX = 16,
    RISKY_HTT = 17,
    RISKY_HTM = 18,
    RISKY_HTX = 19,
    RISKY_JSP = 20,
    RISKY_JSE = 21,
    RISKY_WS = 22,
    RISKY_WSC = 23,
    RISKY_VB = 24,
    RISKY_VBE = 25,
    RISKY_CMD = 26,
    RISKY_HTA = 27,
};

// True when `text` and `pattern` are both exactly `n` characters long and at
// every position the characters are equal or their codes differ by exactly
// 0x20 (so ASCII letters compare without regard to case). Not a locale-aware
// case fold: '@' matches '`' as well.
bool MatchNoCase(const char* text, const char* pattern, int n);

// The type of the file at `path` (a full path) by its extension: RISKY_NONE
// for other extensions, for folders and for paths that do not exist. Reads
// the attributes, then applies GetRiskyFileTypeOf.
int GetRiskyFileType(const char* path);

// The same rules on what a folder search already holds: `name` is an entry's
// cFileName (a dot at its index 0 counts, as it stands after a backslash in
// the full path) and `attributes` its dwFileAttributes. A folder, or
// INVALID_FILE_ATTRIBUTES, is RISKY_NONE. Touches no file.
int GetRiskyFileTypeOf(const char* name, unsigned long attributes);
