#include "usb/RiskyFiles.h"

#include <windows.h>

#include <cstring>

namespace {

struct RiskyExtension {
    RiskyFileType type;
    const char* extension;
    int length;
};

// Compared in this order. A match must be length-exact, so each entry matches
// only its own extension: ".htm" never matches a ".html" file.
const RiskyExtension RISKY_EXTENSIONS[] = {
    {RISKY_EXE, ".exe", 4},  {RISKY_COM, ".com", 4}, {RISKY_DLL, ".dll", 4}, {RISKY_HTML, ".html", 5},
    {RISKY_BAT, ".bat", 4},  {RISKY_INF, ".inf", 4}, {RISKY_PIF, ".pif", 4}, {RISKY_REG, ".reg", 4},
    {RISKY_LNK, ".lnk", 4},  {RISKY_SCR, ".scr", 4}, {RISKY_ASP, ".asp", 4}, {RISKY_JS, ".js", 3},
    {RISKY_VBS, ".vbs", 4},  {RISKY_WSF, ".wsf", 4}, {RISKY_WSH, ".wsh", 4}, {RISKY_ASPX, ".aspx", 5},
    {RISKY_HTT, ".htt", 4},  {RISKY_HTM, ".htm", 4}, {RISKY_HTX, ".htx", 4}, {RISKY_JSP, ".jsp", 4},
    {RISKY_JSE, ".jse", 4},  {RISKY_WS, ".ws", 3},   {RISKY_WSC, ".wsc", 4}, {RISKY_VB, ".vb", 3},
    {RISKY_VBE, ".vbe", 4},  {RISKY_CMD, ".cmd", 4}, {RISKY_HTA, ".hta", 4},
};

// The longest tail compared; longer ones are cut, and then match nothing.
const size_t MAX_TAIL_LENGTH = 9;

}  // namespace

bool MatchNoCase(const char* text, const char* pattern, int n) {
    if (n < 0) return false;
    for (int i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(text[i]);
        auto b = static_cast<unsigned char>(pattern[i]);
        // Either text ending early fails: a terminator never stands in for a character.
        if (a == 0 || b == 0) return false;
        if (a != b && a - b != 0x20 && b - a != 0x20) return false;
    }
    return text[n] == 0 && pattern[n] == 0;
}

int GetRiskyFileTypeOf(const char* name, unsigned long attributes) {
    // Also true for INVALID_FILE_ATTRIBUTES, which has every bit set.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RISKY_NONE;

    // The last dot of the text. When a name has none this may find one in a
    // folder name of a path, and the tail, which then holds a backslash,
    // matches nothing.
    int dot = static_cast<int>(strlen(name)) - 1;
    while (dot >= 0 && name[dot] != '.') --dot;
    if (dot < 0) return RISKY_NONE;

    char tail[MAX_TAIL_LENGTH + 1] = {};
    strncpy(tail, name + dot, MAX_TAIL_LENGTH);
    for (const RiskyExtension& entry : RISKY_EXTENSIONS)
        if (MatchNoCase(tail, entry.extension, entry.length)) return entry.type;
    return RISKY_NONE;
}

int GetRiskyFileType(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    // Also true for a path that does not exist (or none): INVALID_FILE_ATTRIBUTES
    // has every bit set. So the path has at least one character below.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RISKY_NONE;
    // A dot at index 0 of a path does not count, so the rules see the path
    // from its second character on; a full path starts with a drive or a
    // backslash there anyway.
    return GetRiskyFileTypeOf(path + 1, attributes);
}
