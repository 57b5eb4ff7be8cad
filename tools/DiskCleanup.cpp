#include "tools/DiskCleanup.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include <cstring>
#include <vector>

#include "res/resource.h"
#include "ui/Guards.h"
#include "ui/SystemLibrary.h"
#include "usb/RiskyFiles.h"

namespace {

// In the order of their classes, from CLEANUP_TMP on.
const char* const CLEANUP_EXTENSIONS[] = {".tmp", "._mp", ".log", ".gid", ".chk", ".old", ".bak"};

// The longest extension text compared; longer tails cannot match anyway.
const size_t EXTENSION_COPY_MAX = 9;

// The first URL-cache record buffer; a larger entry asks for more.
const DWORD URL_CACHE_RECORD_SIZE = 4096;

// A folder path in a form that compares as text: full, long names, upper
// case, without a trailing backslash except after a drive letter. "" when it
// cannot be formed.
std::string ComparableFolder(const std::string& path) {
    char full[CLEANUP_PATH_MAX + 1];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return std::string();
    std::string result(full, length);
    char longer[CLEANUP_PATH_MAX + 1];
    length = GetLongPathNameA(result.c_str(), longer, sizeof longer);
    if (length > 0 && length < sizeof longer) result.assign(longer, length);
    while (result.size() > 3 && result.back() == '\\') result.pop_back();
    CharUpperBuffA(&result[0], static_cast<DWORD>(result.size()));
    return result;
}

// The folders whose contents belong to the user or the system, never to a
// clean-up.
std::vector<std::string> ProtectedFolders() {
    std::vector<std::string> folders;
    char path[MAX_PATH + 1];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(path);
    length = GetSystemDirectoryA(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(path);
    // The 32-bit system folder of 64-bit Windows; fails on 32-bit Windows.
    length = GetSystemWow64DirectoryA(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(path);
    for (int folder : {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY}) {
        path[0] = '\0';
        if (SHGetSpecialFolderPathA(nullptr, path, folder, FALSE) && path[0]) folders.push_back(path);
    }
    return folders;
}

std::string CopyText(const char* text) { return text ? std::string(text) : std::string(); }

// Deletes one file whatever its attributes; a file that stays keeps them.
bool DeleteAnyFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str())) return true;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes);
    return false;
}

// The URL cache's functions, from wininet.dll once clean-up first needs them.
struct UrlCacheFunctions {
    decltype(&FindFirstUrlCacheEntryA) findFirst =
        ui::SystemProc<decltype(&FindFirstUrlCacheEntryA)>("wininet.dll", "FindFirstUrlCacheEntryA");
    decltype(&FindNextUrlCacheEntryA) findNext =
        ui::SystemProc<decltype(&FindNextUrlCacheEntryA)>("wininet.dll", "FindNextUrlCacheEntryA");
    decltype(&DeleteUrlCacheEntryA) deleteEntry =
        ui::SystemProc<decltype(&DeleteUrlCacheEntryA)>("wininet.dll", "DeleteUrlCacheEntryA");
    decltype(&FindCloseUrlCache) findClose =
        ui::SystemProc<decltype(&FindCloseUrlCache)>("wininet.dll", "FindCloseUrlCache");
    bool Complete() const { return findFirst && findNext && deleteEntry && findClose; }
};

// The URL-cache record buffer: its size field set to the buffer size.
INTERNET_CACHE_ENTRY_INFOA* ResetRecord(std::vector<BYTE>& buffer, DWORD size) {
    if (size < sizeof(INTERNET_CACHE_ENTRY_INFOA)) size = sizeof(INTERNET_CACHE_ENTRY_INFOA);
    buffer.assign(size, 0);
    INTERNET_CACHE_ENTRY_INFOA* record = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    record->dwStructSize = size;
    return record;
}

}  // namespace

int GetCleanupClass(const char* path) {
    if (!path) return CLEANUP_OTHER;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return CLEANUP_OTHER;
    const char* dot = strrchr(path, '.');
    if (!dot || dot == path) return CLEANUP_OTHER;
    char extension[EXTENSION_COPY_MAX + 1] = {};
    strncpy(extension, dot, EXTENSION_COPY_MAX);
    for (int i = 0; i < static_cast<int>(sizeof CLEANUP_EXTENSIONS / sizeof CLEANUP_EXTENSIONS[0]); ++i) {
        if (MatchNoCase(extension, CLEANUP_EXTENSIONS[i], 4)) return CLEANUP_TMP + i;
    }
    return CLEANUP_OTHER;
}

bool IsRefusedCleanupFolder(const std::string& folder) {
    if (folder.empty() || PathIsRelativeA(folder.c_str())) return true;
    const std::string candidate = ComparableFolder(folder);
    if (candidate.empty() || PathIsRootA(candidate.c_str())) return true;
    for (const std::string& path : ProtectedFolders()) {
        const std::string kept = ComparableFolder(path);
        if (kept.empty()) continue;
        // The folder itself, or one that holds it.
        if (kept == candidate) return true;
        if (kept.size() > candidate.size() && kept.compare(0, candidate.size(), candidate) == 0 &&
            kept[candidate.size()] == '\\')
            return true;
    }
    return false;
}

bool DeleteFilesUnder(const ResultRowSink& addRow, const std::string& folder, int mode) {
    if (IsRefusedCleanupFolder(folder)) return false;
    std::string current = folder;
    if (current.back() != '\\') current += '\\';
    // Folders still to search; the one found last is searched next.
    std::vector<std::string> pending;
    bool searched = false;
    for (;;) {
        WIN32_FIND_DATAA entry;
        ui::ScopedFind find(FindFirstFileA((current + "*.*").c_str(), &entry));
        if (find) {
            searched = true;
            do {
                if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
                const std::string path = current + entry.cFileName;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    // A junction or symbolic link leads out of the folder:
                    // what lies behind it is not ours to delete.
                    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) pending.push_back(path);
                    continue;
                }
                if (path.size() > CLEANUP_PATH_MAX) continue;
                if (mode != CLEANUP_EVERY_FILE && GetCleanupClass(path.c_str()) != mode) continue;
                addRow(path, DeleteAnyFile(path) ? IDS_DELETED : IDS_DELETE_FAILED);
            } while (FindNextFileA(find, &entry));
        }
        if (pending.empty()) break;
        current = pending.back() + "\\";
        pending.pop_back();
    }
    return searched;
}

bool ClearUrlCache(const ResultRowSink& addRow) {
    static const UrlCacheFunctions cache;
    if (!cache.Complete()) return false;
    std::vector<BYTE> buffer;
    DWORD size = URL_CACHE_RECORD_SIZE;
    INTERNET_CACHE_ENTRY_INFOA* record = ResetRecord(buffer, size);
    HANDLE enumeration = cache.findFirst(nullptr, record, &size);
    if (!enumeration && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        record = ResetRecord(buffer, size);
        enumeration = cache.findFirst(nullptr, record, &size);
    }
    if (!enumeration) return GetLastError() == ERROR_NO_MORE_ITEMS;
    for (;;) {
        const std::string url = CopyText(record->lpszSourceUrlName);
        const std::string localFile = CopyText(record->lpszLocalFileName);
        cache.deleteEntry(url.c_str());
        addRow(localFile.empty() ? url : localFile, IDS_IE_CACHE_DELETED);

        size = URL_CACHE_RECORD_SIZE;
        record = ResetRecord(buffer, size);
        BOOL found = cache.findNext(enumeration, record, &size);
        if (!found && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            record = ResetRecord(buffer, size);
            found = cache.findNext(enumeration, record, &size);
        }
        if (!found) {
            DWORD error = GetLastError();
            cache.findClose(enumeration);
            return error == ERROR_NO_MORE_ITEMS;
        }
    }
}
