// Quarantining a 100 MB file against copying it with CopyFileA, side by side
// in one run: once with the store's own chunk and once with 1000-byte reads.
// The store flushes every copy to disk before the original goes, which
// CopyFileA does not, so the fair anchor is CopyFileA followed by a flush of
// the copy; the ratios to CopyFileA alone and for the copy loop with the
// flush skipped are given as well, and the ratio to CopyFileA + flush + the
// deletion of the original, the system's own calls for every step a
// quarantine takes. Each time is the best of a few runs; the
// restore that puts the file back is timed too. Goals: 100 MB <= 1.1 x
// CopyFileA + flush; 1,000 files of 4 KB, quarantined one by one, <= 1.3 x
// CopyFileA + flush of each.
#include "tests/common/MainMarker.h"
#include <windows.h>

#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const char SOURCE_FOLDER[] = "G:\\quarantine_bench";
const char SOURCE[] = "G:\\quarantine_bench\\big.bin";
const DWORD SOURCE_MB = 100;
const int RUNS = 5;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool WriteSource() {
    CreateDirectoryA(SOURCE_FOLDER, nullptr);
    HANDLE file = CreateFileA(SOURCE, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<BYTE> block(1024 * 1024);
    UINT32 state = 12345;
    bool ok = true;
    for (DWORD mb = 0; mb < SOURCE_MB && ok; ++mb) {
        for (BYTE& b : block) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<BYTE>(state >> 24);
        }
        DWORD written = 0;
        ok = WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
             written == block.size();
    }
    CloseHandle(file);
    return ok;
}

ULONGLONG FileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::set<std::string> QuarantineEntries(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*.bq").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(folder + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

double Best(double a, double b) { return a < b ? a : b; }

struct Times {
    double copy = 1e9, copyFlushed = 1e9, copyFlushedSourceDeleted = 1e9;
    double quarantine = 1e9, restore = 1e9;
    double quarantineUnflushed = 1e9, restoreUnflushed = 1e9;
};

// CopyFileA into the quarantine folder; with `flush`, the copy is also
// flushed to disk, as the store flushes every copy it makes.
bool TimeCopy(const std::string& folder, bool flush, double& best) {
    std::string copy = folder + "big.bin.copy";
    double start = Seconds();
    bool ok = CopyFileA(SOURCE, copy.c_str(), FALSE) != 0;
    if (ok && flush) {
        HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    best = Best(best, Seconds() - start);
    DeleteFileA(copy.c_str());
    return ok;
}

// CopyFileA into the quarantine folder, a flush of the copy, then the source
// deleted: every step a quarantine takes, in the system's own calls. The copy
// then becomes the source again, untimed.
bool TimeCopyAndDeleteSource(const std::string& folder, double& best) {
    std::string copy = folder + "big.bin.copy";
    double start = Seconds();
    bool ok = CopyFileA(SOURCE, copy.c_str(), FALSE) != 0;
    if (ok) {
        HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    ok = ok && DeleteFileA(SOURCE);
    best = Best(best, Seconds() - start);
    return ok && MoveFileA(copy.c_str(), SOURCE) && FileSize(SOURCE) == SOURCE_MB * 1024ull * 1024ull;
}

// Quarantines the source, then restores it so that the next round finds it again.
bool TimeQuarantine(const std::string& folder, double& bestQuarantine, double& bestRestore) {
    std::set<std::string> before = QuarantineEntries(folder);
    double start = Seconds();
    if (!QuarantineAndDelete(SOURCE)) return false;
    bestQuarantine = Best(bestQuarantine, Seconds() - start);
    std::string stored;
    for (const std::string& name : QuarantineEntries(folder))
        if (!before.count(name)) stored = name;
    if (stored.empty()) return false;

    start = Seconds();
    int restored = RestoreQuarantinedFile(stored.c_str());
    bestRestore = Best(bestRestore, Seconds() - start);
    DeleteFileA(stored.c_str());
    return restored == RESTORE_TO_ORIGIN && FileSize(SOURCE) == SOURCE_MB * 1024ull * 1024ull;
}

BOOL WINAPI SkipFlush(HANDLE) { return TRUE; }

// Unflushed first, flushed after, so that write-back left by the unflushed
// copies falls on both sides of the flushed comparison alike.
bool TimeRound(const std::string& folder, Times& best) {
    if (!TimeCopy(folder, false, best.copy)) return false;
    // The copy loop alone, to tell it from the flush that every copy ends with.
    QuarantineIo real = g_quarantineIo;
    g_quarantineIo.flushFileBuffers = SkipFlush;
    bool ok = TimeQuarantine(folder, best.quarantineUnflushed, best.restoreUnflushed);
    g_quarantineIo = real;
    return ok && TimeCopy(folder, true, best.copyFlushed) && TimeQuarantine(folder, best.quarantine, best.restore) &&
           TimeCopyAndDeleteSource(folder, best.copyFlushedSourceDeleted);
}

void Report(const char* what, double time, const Times& best) {
    printf("  %-26s %.3f s   %5.2f x CopyFileA   %5.2f x CopyFileA + flush\n", what, time, time / best.copy,
           time / best.copyFlushed);
}

// ---- many small files: 1,000 of 4 KB, quarantined one by one.
const int SMALL_FILES = 1000;
const DWORD SMALL_SIZE = 4096;
const int SMALL_ROUNDS = 5;

// `sameName`: every file is AUTORUN.INF in a folder of its own, so that each
// quarantined copy after the first needs a numbered name.
std::vector<std::string> WriteSmallFiles(bool sameName) {
    std::vector<std::string> paths;
    std::string root = std::string(SOURCE_FOLDER) + "\\small";
    CreateDirectoryA(root.c_str(), nullptr);
    std::vector<BYTE> data(SMALL_SIZE, 0xA5);
    for (int i = 0; i < SMALL_FILES; ++i) {
        char name[64];
        std::string path;
        if (sameName) {
            snprintf(name, sizeof name, "\\d%04d", i);
            CreateDirectoryA((root + name).c_str(), nullptr);
            path = root + name + "\\AUTORUN.INF";
        } else {
            snprintf(name, sizeof name, "\\s%04d.bin", i);
            path = root + name;
        }
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, data.data(), SMALL_SIZE, &written, nullptr);
        // On disk before any timing starts, so that neither side flushes them.
        FlushFileBuffers(file);
        CloseHandle(file);
        paths.push_back(path);
    }
    return paths;
}

void RemoveSmallFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        DeleteFileA(path.c_str());
        std::string parent = path.substr(0, path.rfind('\\'));
        if (parent.size() > strlen(SOURCE_FOLDER) + 6) RemoveDirectoryA(parent.c_str());
    }
    RemoveDirectoryA((std::string(SOURCE_FOLDER) + "\\small").c_str());
}

void RemoveNew(const std::string& folder, const std::set<std::string>& before) {
    for (const std::string& name : QuarantineEntries(folder))
        if (!before.count(name)) DeleteFileA(name.c_str());
}

// Each file is copied with CopyFileA and the copy flushed, then quarantined,
// one after the other, so that both sides meet the same disk.
bool TimeSmallFiles(const std::string& folder, const std::vector<std::string>& paths, double& copy,
                    double& quarantine) {
    std::set<std::string> before = QuarantineEntries(folder);
    std::vector<std::string> copies;
    double copyTime = 0, quarantineTime = 0;
    bool ok = true;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::string target = folder + "copy" + std::to_string(i) + ".bin";
        double start = Seconds();
        CopyFileA(paths[i].c_str(), target.c_str(), FALSE);
        HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FlushFileBuffers(file);
        CloseHandle(file);
        double middle = Seconds();
        ok = QuarantineAndDelete(paths[i].c_str()) && ok;
        quarantineTime += Seconds() - middle;
        copyTime += middle - start;
        copies.push_back(target);
    }
    for (const std::string& target : copies) DeleteFileA(target.c_str());
    RemoveNew(folder, before);
    copy = Best(copy, copyTime);
    quarantine = Best(quarantine, quarantineTime);
    return ok;
}

bool SmallFiles(const std::string& folder) {
    double copy[2] = {1e9, 1e9}, quarantine[2] = {1e9, 1e9};
    bool ok = true;
    for (int round = 0; round < SMALL_ROUNDS && ok; ++round) {
        for (int sameName = 0; sameName < 2 && ok; ++sameName) {
            std::vector<std::string> paths = WriteSmallFiles(sameName != 0);
            ok = TimeSmallFiles(folder, paths, copy[sameName], quarantine[sameName]);
            RemoveSmallFiles(paths);
        }
    }
    if (!ok) {
        printf("small files: a quarantine failed\n");
        return false;
    }
    printf("%d files of %lu bytes, one by one, each copied and quarantined in turn, best of %d runs:\n", SMALL_FILES,
           static_cast<unsigned long>(SMALL_SIZE), SMALL_ROUNDS);
    const char* layouts[] = {"distinct names", "all AUTORUN.INF"};
    for (int sameName = 0; sameName < 2; ++sameName)
        printf("  %-16s CopyFileA + flush %.3f s, quarantine %.3f s   %5.2f x\n", layouts[sameName], copy[sameName],
               quarantine[sameName], quarantine[sameName] / copy[sameName]);
    return true;
}

}  // namespace

int main() {
    // First: tells scripts/wine-exec that main() was reached.
    fputs(VX_MAIN_MARKER "\n", stdout);
    fflush(stdout);
    char program[256], folder[256];
    if (!GetProgramFolder(program)) return 1;
    const std::string quarantineFolder = std::string(program) + "quarantine";
    bool hadFolder = GetFileAttributesA(quarantineFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!GetQuarantineFolder(folder)) {
        printf("no quarantine folder\n");
        return 1;
    }
    if (!WriteSource()) {
        printf("cannot write %s\n", SOURCE);
        return 1;
    }
    printf("%lu MB file %s, quarantine folder %s, best of %d runs\n", static_cast<unsigned long>(SOURCE_MB), SOURCE,
           folder, RUNS);

    int status = 0;
    for (DWORD chunk : {QUARANTINE_MAX_CHUNK, DWORD(1000)}) {
        g_quarantineIo.chunkSize = chunk;
        Times best;
        for (int run = 0; run < RUNS && status == 0; ++run)
            if (!TimeRound(folder, best)) status = 1;
        if (status != 0) {
            printf("chunk %5lu: a round failed\n", static_cast<unsigned long>(chunk));
            break;
        }
        printf("chunk %lu bytes: CopyFileA %.3f s, CopyFileA + flush %.3f s\n", static_cast<unsigned long>(chunk),
               best.copy, best.copyFlushed);
        Report("quarantine", best.quarantine, best);
        Report("restore", best.restore, best);
        Report("quarantine, flush skipped", best.quarantineUnflushed, best);
        Report("restore, flush skipped", best.restoreUnflushed, best);
        // A quarantine also deletes the original, which the anchors above do not.
        printf("  quarantine against CopyFileA + flush + deletion of the original (%.3f s): %.2f x\n",
               best.copyFlushedSourceDeleted, best.quarantine / best.copyFlushedSourceDeleted);
    }
    g_quarantineIo = DefaultQuarantineIo();
    if (status == 0 && !SmallFiles(folder)) status = 1;

    DeleteFileA(SOURCE);
    RemoveDirectoryA(SOURCE_FOLDER);
    if (!hadFolder) RemoveDirectoryA(quarantineFolder.c_str());
    return status;
}
