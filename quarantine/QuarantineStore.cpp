#include "quarantine/QuarantineStore.h"

#include "quarantine/QuarantineIo.h"
#include "ui/Guards.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

QuarantineIo DefaultQuarantineIo() {
    return {CreateFileA, ReadFile, WriteFile, FlushFileBuffers, QUARANTINE_MAX_CHUNK};
}

QuarantineIo g_quarantineIo = DefaultQuarantineIo();

namespace {

const char QUARANTINE_EXTENSION[] = ".bq";
// Numbered names tried after "<stem>.bq" before giving up. Each try takes a
// number no other try of this process has taken, so a try fails only when a
// file of that number is left from an earlier run.
const unsigned QUARANTINE_NAME_TRIES = 1000;
// The largest header: signature, a 255-character origin, CR LF.
const DWORD QUARANTINE_HEADER_MAX = QUARANTINE_SIGNATURE_LENGTH + QUARANTINE_PATH_MAX + 2;

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

// Why this thread's last create of a new file failed.
thread_local DWORD t_createError = 0;

// Whether a create with CREATE_NEW failed because the name is in use.
bool NameTaken(const char* path) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
           (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
}

// Numbers for taken names: every call of the process gets its own, starting
// from the clock's seconds, so that another run rarely meets the same ones.
// A thousand copies of AUTORUN.INF cost one failed create each, not a
// thousand.
unsigned NextNameNumber() {
    static std::atomic<unsigned> next([] {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        return static_cast<unsigned>(ticks / 10000000u) % 1000000000u + 1u;
    }());
    unsigned number = next++;
    return number == 0 ? next++ : number;
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
        if (m_file.Valid()) return true;
        t_createError = GetLastError();
        SetLastError(t_createError);
        return false;
    }

    // Creates the quarantined file at `wanted` or, when that name is taken,
    // at the next free numbered name. CREATE_NEW makes each attempt atomic,
    // so two threads can never end up with the same name.
    bool CreateUnderFreeName(const QuarantineIo& io, const char* wanted) {
        if (Create(io, wanted)) return true;
        if (!NameTaken(wanted)) return false;
        const char* slash = FindLastBackslash(wanted);
        size_t folderLength = slash ? static_cast<size_t>(slash - wanted) + 1 : 0;
        const char* name = wanted + folderLength;
        size_t nameLength = strlen(name);
        const char* extension = EndsWithNoCase(name, nameLength, QUARANTINE_EXTENSION) ? QUARANTINE_EXTENSION : "";
        size_t stemLength = nameLength - strlen(extension);
        for (unsigned tries = 0; tries < QUARANTINE_NAME_TRIES; ++tries) {
            PathText candidate;
            if (!QuarantineCandidate(wanted, folderLength, name, stemLength, extension, NextNameNumber(), candidate))
                return false;
            if (Create(io, candidate.Get())) return true;
            if (!NameTaken(candidate.Get())) return false;
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

// One chunk of the copy, with `room` bytes before it for a header. A small
// file is copied through the stack; a large one through a larger chunk on
// the heap, which keeps its copy as fast as the system's own.
class CopyBuffer {
public:
    CopyBuffer(const QuarantineIo& io, HANDLE source, DWORD room) : m_room(room) {
        m_chunk = ChunkSize(io);
        DWORD high = 0;
        DWORD low = GetFileSize(source, &high);
        bool small = high == 0 && low != INVALID_FILE_SIZE && low < SMALL_CHUNK;
        if (m_chunk <= SMALL_CHUNK || small) {
            if (m_chunk > SMALL_CHUNK) m_chunk = SMALL_CHUNK;
            m_data = m_small + m_room;
            return;
        }
        m_large.reset(new (std::nothrow) BYTE[m_room + m_chunk]);
        if (m_large) {
            m_data = m_large.get() + m_room;
        } else {
            m_chunk = SMALL_CHUNK;
            m_data = m_small + m_room;
        }
    }
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;
    BYTE* Data() { return m_data; }
    DWORD Chunk() const { return m_chunk; }

private:
    static const DWORD SMALL_CHUNK = 64 * 1024;
    DWORD m_room;
    DWORD m_chunk;
    BYTE* m_data = nullptr;
    std::unique_ptr<BYTE[]> m_large;
    BYTE m_small[QUARANTINE_HEADER_MAX + SMALL_CHUNK];
};

enum class CopyEnd { Complete, ReadFailed, WriteFailed };

// Writes the `pending` bytes at `buffer + start`, each moved by `delta`,
// together with the `prefix` bytes before them as they are (a header goes
// out with the first data, in one write); then the rest of `source` chunk by
// chunk, moved alike; then flushes `target`.
CopyEnd CopyShifted(const QuarantineIo& io, HANDLE source, HANDLE target, BYTE* buffer, DWORD chunk, DWORD start,
                    DWORD pending, BYTE delta, DWORD prefix = 0) {
    for (;;) {
        BYTE* data = buffer + start;
        ShiftBytes(data, pending, delta);
        if (!WriteAll(io, target, data - prefix, prefix + pending)) return CopyEnd::WriteFailed;
        DWORD got = 0;
        if (!io.readFile(source, buffer, chunk, &got, nullptr)) return CopyEnd::ReadFailed;
        if (got == 0) break;
        start = 0;
        pending = got;
        prefix = 0;
    }
    return io.flushFileBuffers(target) ? CopyEnd::Complete : CopyEnd::WriteFailed;
}

int StoreQuarantined(const QuarantineIo& io, const char* plainPath, const char* quarantinedPath) {
    ui::ScopedFile plain(OpenForReading(io, plainPath));
    if (!plain) return QCOPY_PLAIN_SIDE_FAILED;
    // The header goes in front of the first chunk, so that both leave in one write.
    CopyBuffer buffer(io, plain.Get(), QUARANTINE_HEADER_MAX);
    BYTE* data = buffer.Data();
    DWORD got = 0;
    if (!io.readFile(plain.Get(), data, buffer.Chunk(), &got, nullptr)) return QCOPY_PLAIN_SIDE_FAILED;
    if (StartsWithSignature(data, got)) return QCOPY_ALREADY_QUARANTINED;

    CreatedFile quarantined;
    if (!quarantined.CreateUnderFreeName(io, quarantinedPath)) return QCOPY_QUARANTINE_SIDE_FAILED;
    const DWORD pathLength = static_cast<DWORD>(strlen(plainPath));
    const DWORD headerLength = QUARANTINE_SIGNATURE_LENGTH + pathLength + 2;
    BYTE* header = data - headerLength;
    memcpy(header, QUARANTINE_SIGNATURE, QUARANTINE_SIGNATURE_LENGTH);
    memcpy(header + QUARANTINE_SIGNATURE_LENGTH, plainPath, pathLength);
    header[headerLength - 2] = '\r';
    header[headerLength - 1] = '\n';

    CopyEnd end = CopyShifted(io, plain.Get(), quarantined.Get(), data, buffer.Chunk(), 0, got, QUARANTINE_SHIFT,
                              headerLength);
    if (end == CopyEnd::ReadFailed) return QCOPY_PLAIN_SIDE_FAILED;
    if (end == CopyEnd::WriteFailed || !quarantined.Keep()) return QCOPY_QUARANTINE_SIDE_FAILED;
    return QCOPY_OK;
}

int RestorePlain(const QuarantineIo& io, const char* plainPath, const char* quarantinedPath) {
    ui::ScopedFile quarantined(OpenForReading(io, quarantinedPath));
    if (!quarantined) return QCOPY_QUARANTINE_SIDE_FAILED;
    CopyBuffer chunk(io, quarantined.Get(), 0);
    BYTE* buffer = chunk.Data();
    DWORD got = 0;
    if (!io.readFile(quarantined.Get(), buffer, chunk.Chunk(), &got, nullptr) || !StartsWithSignature(buffer, got))
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
        if (!io.readFile(quarantined.Get(), buffer, chunk.Chunk(), &got, nullptr)) return QCOPY_QUARANTINE_SIDE_FAILED;
        if (got == 0) break;
    }

    CreatedFile plain;
    if (!plain.Create(io, plainPath)) return QCOPY_PLAIN_SIDE_FAILED;
    CopyEnd end = CopyShifted(io, quarantined.Get(), plain.Get(), buffer, chunk.Chunk(), start, got - start,
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

namespace {

// The quarantine folder with its backslash, worked out once per process; ""
// when the program folder is too deep for it. It is created on first need.
const char* QuarantineFolderPath() {
    static const PathText folder = [] {
        PathText path;
        char program[QUARANTINE_PATH_MAX + 1];
        if (!GetProgramFolder(program) || !path.Add(program) || !path.Add("quarantine\\")) return PathText();
        return path;
    }();
    return folder.Get();
}

// Deletes the original. Hidden and system files go as they are; a read-only
// one has its attributes cleared first, and gets them back when it still
// cannot go.
BOOL DeleteOriginal(const char* path) {
    if (DeleteFileA(path)) return TRUE;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    if (!SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL)) return FALSE;
    if (DeleteFileA(path)) return TRUE;
    SetFileAttributesA(path, attributes);
    return FALSE;
}

}  // namespace

BOOL QuarantineAndDelete(const char* path) {
    if (!path || !FitsPathLimit(path)) return FALSE;
    // Only a full path can be restored later.
    char name[QUARANTINE_PATH_MAX + 1];
    if (!ExtractFileName(path, name) || !name[0]) return FALSE;
    const char* folder = QuarantineFolderPath();
    if (!folder[0]) return FALSE;
    PathText quarantined;
    if (!QuarantineCandidate(folder, strlen(folder), name, strlen(name), QUARANTINE_EXTENSION, 0, quarantined))
        return FALSE;

    // A missing file fails the open, so it needs no check of its own. A
    // missing folder is made, once, and the copy tried again.
    t_createError = 0;
    int copied = CopyQuarantineFile(path, quarantined.Get(), TRUE);
    if (copied == QCOPY_QUARANTINE_SIDE_FAILED && t_createError == ERROR_PATH_NOT_FOUND) {
        char made[QUARANTINE_PATH_MAX + 1];
        if (GetQuarantineFolder(made)) copied = CopyQuarantineFile(path, quarantined.Get(), TRUE);
    }
    // The file goes only when a complete copy exists, or when it is a copy itself.
    if (copied != QCOPY_OK && copied != QCOPY_ALREADY_QUARANTINED) return FALSE;
    return DeleteOriginal(path);
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
