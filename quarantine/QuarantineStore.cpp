#include "quarantine/QuarantineStore.h"

#include "quarantine/QuarantineIo.h"
#include "ui/Guards.h"

#include <shlobj.h>

#include <cstring>

QuarantineIo DefaultQuarantineIo() {
    return {CreateFileA, ReadFile, WriteFile, FlushFileBuffers, QUARANTINE_MAX_CHUNK};
}

QuarantineIo g_quarantineIo = DefaultQuarantineIo();

namespace {

const char QUARANTINE_EXTENSION[] = ".bq";
// Numbered names tried after "<stem>.bq" before giving up.
const unsigned QUARANTINE_NAME_TRIES = 100000;

// A path of at most 255 characters, built by appending; text that does not
// fit is refused, never cut.
class PathText {
public:
    bool Add(const char* text, size_t length) {
        if (length > QUARANTINE_PATH_MAX - m_length) return false;
        memcpy(m_text + m_length, text, length);
        m_length += length;
        m_text[m_length] = '\0';
        return true;
    }
    bool Add(const char* text) { return Add(text, strlen(text)); }
    const char* Get() const { return m_text; }
    size_t Length() const { return m_length; }

private:
    char m_text[QUARANTINE_PATH_MAX + 1] = "";
    size_t m_length = 0;
};

bool FitsPathLimit(const char* path) {
    return strnlen(path, QUARANTINE_PATH_MAX + 1) <= QUARANTINE_PATH_MAX;
}

// Walks by characters, so that a trail byte of a double-byte character is
// never taken for a backslash.
const char* FindLastBackslash(const char* path) {
    const char* last = nullptr;
    for (const char* p = path; *p; p = CharNextA(p))
        if (*p == '\\') last = p;
    return last;
}

// The longest prefix of `text` that fits into `room` bytes without splitting
// a double-byte character.
size_t FitCharacters(const char* text, size_t length, size_t room) {
    size_t fit = 0;
    while (fit < length) {
        size_t next = static_cast<size_t>(CharNextA(text + fit) - text);
        if (next == fit || next > room) break;
        fit = next;
    }
    return fit;
}

bool EndsWithNoCase(const char* text, size_t length, const char* tail) {
    size_t tailLength = strlen(tail);
    return length >= tailLength && lstrcmpiA(text + length - tailLength, tail) == 0;
}

// Name number `number` to try for a quarantined file: 0 is folder + stem +
// extension, then stem.1 + extension, stem.2 + extension... The stem is cut
// so that the whole path keeps within 255 characters.
bool QuarantineCandidate(const char* folder, size_t folderLength, const char* stem, size_t stemLength,
                         const char* extension, unsigned number, PathText& path) {
    char suffix[32];
    if (number == 0)
        lstrcpynA(suffix, extension, sizeof suffix);
    else
        wsprintfA(suffix, ".%u%s", number, extension);
    size_t suffixLength = strlen(suffix);
    if (folderLength + suffixLength + (stemLength > 0 ? 1 : 0) > QUARANTINE_PATH_MAX) return false;
    size_t room = QUARANTINE_PATH_MAX - folderLength - suffixLength;
    return path.Add(folder, folderLength) && path.Add(stem, FitCharacters(stem, stemLength, room)) &&
           path.Add(suffix);
}

bool StartsWithSignature(const BYTE* data, DWORD length) {
    return length >= QUARANTINE_SIGNATURE_LENGTH &&
           memcmp(data, QUARANTINE_SIGNATURE, QUARANTINE_SIGNATURE_LENGTH) == 0;
}

DWORD ChunkSize(const QuarantineIo& io) {
    if (io.chunkSize < QUARANTINE_MIN_CHUNK) return QUARANTINE_MIN_CHUNK;
    if (io.chunkSize > QUARANTINE_MAX_CHUNK) return QUARANTINE_MAX_CHUNK;
    return io.chunkSize;
}

bool WriteAll(const QuarantineIo& io, HANDLE file, const void* data, DWORD length) {
    if (length == 0) return true;
    DWORD written = 0;
    // A short write means the disk is full.
    return io.writeFile(file, data, length, &written, nullptr) && written == length;
}

// The file a copy creates. Unless the copy completes, it is removed again, so
// that no partial file is ever left behind.
class CreatedFile {
public:
    CreatedFile() = default;
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    ~CreatedFile() {
        if (m_file) Discard();
    }
    HANDLE Get() const { return m_file.Get(); }

    // Creates the file, failing when a file of that name exists.
    bool Create(const QuarantineIo& io, const char* path) {
        m_path = PathText();
        if (!m_path.Add(path)) return false;
        m_file.Reset(io.createFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        return m_file.Valid();
    }

    // Creates the quarantined file at `wanted` or, when that name is taken,
    // at the next free numbered name. CREATE_NEW makes each attempt atomic,
    // so two threads can never end up with the same name.
    bool CreateUnderFreeName(const QuarantineIo& io, const char* wanted) {
        const char* slash = FindLastBackslash(wanted);
        size_t folderLength = slash ? static_cast<size_t>(slash - wanted) + 1 : 0;
        const char* name = wanted + folderLength;
        size_t nameLength = strlen(name);
        const char* extension = EndsWithNoCase(name, nameLength, QUARANTINE_EXTENSION) ? QUARANTINE_EXTENSION : "";
        size_t stemLength = nameLength - strlen(extension);
        for (unsigned number = 0; number <= QUARANTINE_NAME_TRIES; ++number) {
            PathText candidate;
            if (!QuarantineCandidate(wanted, folderLength, name, stemLength, extension, number, candidate))
                return false;
            if (Create(io, candidate.Get())) return true;
            DWORD error = GetLastError();
            bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                         (error == ERROR_ACCESS_DENIED && GetFileAttributesA(candidate.Get()) != INVALID_FILE_ATTRIBUTES);
            if (!taken) return false;
        }
        return false;
    }

    // Keeps the file: TRUE when it was closed cleanly.
    bool Keep() {
        if (CloseHandle(m_file.Release())) return true;
        DeleteFileA(m_path.Get());
        return false;
    }

    void Discard() {
        m_file.Reset();
        DeleteFileA(m_path.Get());
    }

private:
    ui::ScopedFile m_file;
    PathText m_path;
};

HANDLE OpenForReading(const QuarantineIo& io, const char* path) {
    return io.createFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Adds `delta` to every byte, modulo 256, sixteen bytes at a time (the
// compiler spreads the vector over whatever registers the target has).
void ShiftBytes(BYTE* data, DWORD length, BYTE delta) {
    typedef BYTE Bytes16 __attribute__((vector_size(16)));
    DWORD i = 0;
    for (; i + sizeof(Bytes16) <= length; i += sizeof(Bytes16)) {
        Bytes16 bytes;
        memcpy(&bytes, data + i, sizeof bytes);
        bytes += delta;
        memcpy(data + i, &bytes, sizeof bytes);
    }
    for (; i < length; ++i) data[i] = static_cast<BYTE>(data[i] + delta);
}

enum class CopyEnd { Complete, ReadFailed, WriteFailed };

// Writes the `pending` bytes at `buffer + start`, then the rest of `source`
// chunk by chunk, each byte moved by `delta`; then flushes `target`.
CopyEnd CopyShifted(const QuarantineIo& io, HANDLE source, HANDLE target, BYTE* buffer, DWORD start,
                    DWORD pending, BYTE delta) {
    const DWORD chunk = ChunkSize(io);
    for (;;) {
        BYTE* data = buffer + start;
        ShiftBytes(data, pending, delta);
        if (!WriteAll(io, target, data, pending)) return CopyEnd::WriteFailed;
        DWORD got = 0;
        if (!io.readFile(source, buffer, chunk, &got, nullptr)) return CopyEnd::ReadFailed;
        if (got == 0) break;
        start = 0;
        pending = got;
    }
    return io.flushFileBuffers(target) ? CopyEnd::Complete : CopyEnd::WriteFailed;
}

int StoreQuarantined(const QuarantineIo& io, const char* plainPath, const char* quarantinedPath) {
    ui::ScopedFile plain(OpenForReading(io, plainPath));
    if (!plain) return QCOPY_PLAIN_SIDE_FAILED;
    BYTE buffer[QUARANTINE_MAX_CHUNK];
    DWORD got = 0;
    if (!io.readFile(plain.Get(), buffer, ChunkSize(io), &got, nullptr)) return QCOPY_PLAIN_SIDE_FAILED;
    if (StartsWithSignature(buffer, got)) return QCOPY_ALREADY_QUARANTINED;

    CreatedFile quarantined;
    if (!quarantined.CreateUnderFreeName(io, quarantinedPath)) return QCOPY_QUARANTINE_SIDE_FAILED;
    BYTE header[QUARANTINE_SIGNATURE_LENGTH + QUARANTINE_PATH_MAX + 2];
    size_t pathLength = strlen(plainPath);
    memcpy(header, QUARANTINE_SIGNATURE, QUARANTINE_SIGNATURE_LENGTH);
    memcpy(header + QUARANTINE_SIGNATURE_LENGTH, plainPath, pathLength);
    DWORD headerLength = static_cast<DWORD>(QUARANTINE_SIGNATURE_LENGTH + pathLength);
    header[headerLength++] = '\r';
    header[headerLength++] = '\n';
    if (!WriteAll(io, quarantined.Get(), header, headerLength)) return QCOPY_QUARANTINE_SIDE_FAILED;

    CopyEnd end = CopyShifted(io, plain.Get(), quarantined.Get(), buffer, 0, got, QUARANTINE_SHIFT);
    if (end == CopyEnd::ReadFailed) return QCOPY_PLAIN_SIDE_FAILED;
    if (end == CopyEnd::WriteFailed || !quarantined.Keep()) return QCOPY_QUARANTINE_SIDE_FAILED;
    return QCOPY_OK;
}

int RestorePlain(const QuarantineIo& io, const char* plainPath, const char* quarantinedPath) {
    ui::ScopedFile quarantined(OpenForReading(io, quarantinedPath));
    if (!quarantined) return QCOPY_QUARANTINE_SIDE_FAILED;
    BYTE buffer[QUARANTINE_MAX_CHUNK];
    DWORD got = 0;
    if (!io.readFile(quarantined.Get(), buffer, ChunkSize(io), &got, nullptr) || !StartsWithSignature(buffer, got))
        return QCOPY_NOT_QUARANTINED;

    // The content starts after the first LF; without one there is none.
    DWORD start = QUARANTINE_SIGNATURE_LENGTH;
    for (;;) {
        const void* lineEnd = memchr(buffer + start, '\n', got - start);
        if (lineEnd) {
            start = static_cast<DWORD>(static_cast<const BYTE*>(lineEnd) - buffer) + 1;
            break;
        }
        start = 0;
        if (!io.readFile(quarantined.Get(), buffer, ChunkSize(io), &got, nullptr)) return QCOPY_QUARANTINE_SIDE_FAILED;
        if (got == 0) break;
    }

    CreatedFile plain;
    if (!plain.Create(io, plainPath)) return QCOPY_PLAIN_SIDE_FAILED;
    CopyEnd end = CopyShifted(io, quarantined.Get(), plain.Get(), buffer, start, got - start,
                              static_cast<BYTE>(0x100 - QUARANTINE_SHIFT));
    if (end == CopyEnd::ReadFailed) return QCOPY_QUARANTINE_SIDE_FAILED;
    if (end == CopyEnd::WriteFailed || !plain.Keep()) return QCOPY_PLAIN_SIDE_FAILED;
    return QCOPY_OK;
}

}  // namespace

BOOL GetProgramFolder(char* folder) {
    if (!folder) return FALSE;
    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    // A full buffer may be cut short and, on XP, unterminated.
    if (length == 0 || length >= MAX_PATH) return FALSE;
    module[length] = '\0';
    const char* slash = FindLastBackslash(module);
    size_t keep = slash ? static_cast<size_t>(slash - module) + 1 : 0;
    if (keep > QUARANTINE_PATH_MAX) return FALSE;
    memcpy(folder, module, keep);
    folder[keep] = '\0';
    return TRUE;
}

BOOL ExtractFileName(const char* path, char* name) {
    if (!path || !name) return FALSE;
    const char* slash = FindLastBackslash(path);
    if (!slash) return FALSE;
    PathText text;
    if (!text.Add(slash + 1)) return FALSE;
    memcpy(name, text.Get(), text.Length() + 1);
    return TRUE;
}

BOOL GetQuarantineFolder(char* folder) {
    if (!folder) return FALSE;
    char program[QUARANTINE_PATH_MAX + 1];
    if (!GetProgramFolder(program)) return FALSE;
    PathText path;
    if (!path.Add(program) || !path.Add("quarantine") || path.Length() == QUARANTINE_PATH_MAX) return FALSE;
    // Any entry of that name counts as present; only the program folder is searched.
    char found[MAX_PATH];
    char* filePart = nullptr;
    if (SearchPathA(program, "quarantine", nullptr, MAX_PATH, found, &filePart) == 0) {
        // Another thread may create it at the same moment.
        if (!CreateDirectoryA(path.Get(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
    }
    path.Add("\\");
    memcpy(folder, path.Get(), path.Length() + 1);
    return TRUE;
}

int CopyQuarantineFile(const char* plainPath, const char* quarantinedPath, BOOL storing) {
    if (!plainPath || !quarantinedPath) return QCOPY_BAD_ARGS;
    // The origin path in the header is 1..255 characters.
    if (!*plainPath || !*quarantinedPath || !FitsPathLimit(plainPath) || !FitsPathLimit(quarantinedPath))
        return QCOPY_BAD_ARGS;
    const QuarantineIo io = g_quarantineIo;
    return storing ? StoreQuarantined(io, plainPath, quarantinedPath) : RestorePlain(io, plainPath, quarantinedPath);
}

BOOL QuarantineAndDelete(const char* path) {
    if (!path || !FitsPathLimit(path)) return FALSE;
    char found[MAX_PATH];
    char* filePart = nullptr;
    DWORD foundLength = SearchPathA(nullptr, path, nullptr, MAX_PATH, found, &filePart);
    if (foundLength == 0 || foundLength >= MAX_PATH) return FALSE;
    // Only a full path can be restored later.
    char name[QUARANTINE_PATH_MAX + 1];
    if (!ExtractFileName(path, name)) return FALSE;
    char folder[QUARANTINE_PATH_MAX + 1];
    if (!GetQuarantineFolder(folder)) return FALSE;
    PathText quarantined;
    if (!QuarantineCandidate(folder, strlen(folder), name, strlen(name), QUARANTINE_EXTENSION, 0, quarantined))
        return FALSE;

    // The file goes only when a complete copy exists, or when it is a copy itself.
    int copied = CopyQuarantineFile(path, quarantined.Get(), TRUE);
    if (copied != QCOPY_OK && copied != QCOPY_ALREADY_QUARANTINED) return FALSE;

    DWORD attributes = GetFileAttributesA(path);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path)) return TRUE;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, attributes);
    return FALSE;
}

BOOL ReadQuarantineOrigin(const char* quarantinedPath, char* origin) {
    if (!quarantinedPath || !origin) return FALSE;
    const QuarantineIo io = g_quarantineIo;
    ui::ScopedFile file(OpenForReading(io, quarantinedPath));
    if (!file) return FALSE;
    // The signature and one byte more than the longest origin: a header
    // without CR within it is not one this store wrote.
    BYTE header[QUARANTINE_SIGNATURE_LENGTH + QUARANTINE_PATH_MAX + 1];
    DWORD got = 0;
    if (!io.readFile(file.Get(), header, sizeof header, &got, nullptr) || !StartsWithSignature(header, got))
        return FALSE;
    const BYTE* begin = header + QUARANTINE_SIGNATURE_LENGTH;
    const void* lineEnd = memchr(begin, '\r', got - QUARANTINE_SIGNATURE_LENGTH);
    size_t length = lineEnd ? static_cast<size_t>(static_cast<const BYTE*>(lineEnd) - begin) : got - QUARANTINE_SIGNATURE_LENGTH;
    if (length > QUARANTINE_PATH_MAX) return FALSE;
    memcpy(origin, begin, length);
    origin[length] = '\0';
    return TRUE;
}

int RestoreQuarantinedFile(const char* quarantinedPath) {
    if (!quarantinedPath) return RESTORE_FAILED;
    char origin[QUARANTINE_PATH_MAX + 1];
    if (!ReadQuarantineOrigin(quarantinedPath, origin)) return RESTORE_FAILED;
    // An origin without a folder would land in whatever the current folder is.
    char name[QUARANTINE_PATH_MAX + 1];
    if (!ExtractFileName(origin, name)) return RESTORE_FAILED;

    int copied = CopyQuarantineFile(origin, quarantinedPath, FALSE);
    if (copied == QCOPY_OK) return RESTORE_TO_ORIGIN;
    // Only an origin that cannot be written is helped by another place;
    // an unreadable quarantined file is not.
    if (copied != QCOPY_PLAIN_SIDE_FAILED) return RESTORE_FAILED;

    char desktop[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE)) return RESTORE_FAILED;
    PathText target;
    if (!target.Add(desktop) || !target.Add("\\") || !target.Add(name)) return RESTORE_FAILED;
    return CopyQuarantineFile(target.Get(), quarantinedPath, FALSE) == QCOPY_OK ? RESTORE_TO_DESKTOP : RESTORE_FAILED;
}
