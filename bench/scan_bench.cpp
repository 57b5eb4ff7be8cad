// The thorough scan of a removable drive holding about 20,000 files in 2,000
// folders, a few dozen of them findings, from the scan button to the final
// status line, next to a bare recursive FindFirstFileA walk of the same tree,
// measured side by side in one run. Goal: scan / walk <= 1.2.
#include "tests/common/MainMarker.h"
#include <windows.h>

#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "quarantine/ScanPage.h"

namespace {

using bench::Median;
using bench::Now;
using bench::Pump;

const char DRIVE[] = "E:";
const int TOP_FOLDERS = 40;
const int FOLDERS_PER_TOP = 49;  // 40 + 40 x 49 = 2,000 folders
const int FILES_PER_FOLDER = 10;
const int ROUNDS = 7;

void Touch(const std::string& path, DWORD attributes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

// Documents and programs as a stick holds them; in every fiftieth folder one
// hidden program, so 40 findings in all.
int LayOutTree() {
    int findings = 0, folders = 0;
    const char* extensions[] = {"txt", "doc", "jpg", "exe", "dll", "pdf", "inf", "mp3", "htm", "bat"};
    for (int top = 0; top < TOP_FOLDERS; ++top) {
        std::string topFolder = std::string(DRIVE) + "\\top" + std::to_string(top);
        CreateDirectoryA(topFolder.c_str(), nullptr);
        for (int sub = -1; sub < FOLDERS_PER_TOP; ++sub) {
            std::string folder = sub < 0 ? topFolder : topFolder + "\\folder" + std::to_string(sub);
            if (sub >= 0) CreateDirectoryA(folder.c_str(), nullptr);
            for (int file = 0; file < FILES_PER_FOLDER; ++file) {
                bool finding = file == 3 && folders % 50 == 0;  // a hidden .exe
                std::string name = folder + "\\file" + std::to_string(file) + "." + extensions[file];
                Touch(name, finding ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL);
                findings += finding;
            }
            ++folders;
        }
    }
    return findings;
}

// What any walk of the tree must do: list every folder once.
int BareWalk(const std::string& root) {
    int entries = 0;
    std::vector<std::string> folders{root};
    WIN32_FIND_DATAA entry;
    while (!folders.empty()) {
        std::string folder = folders.back();
        folders.pop_back();
        HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            ++entries;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strcmp(entry.cFileName, ".") != 0 &&
                strcmp(entry.cFileName, "..") != 0)
                folders.push_back(folder + "\\" + entry.cFileName);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return entries;
}

}  // namespace

int main() {
    fputs(VX_MAIN_MARKER "\n", stdout);
    RemoveTree(DRIVE);
    RemoveTree("F:");
    int findings = LayOutTree();

    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 760, 470, nullptr, nullptr, nullptr, nullptr);
    ScanPage page;
    if (!page.Create(parent)) {
        printf("cannot create the scan page\n");
        return 1;
    }
    Pump();
    std::vector<double> scan, walk;
    int entries = 0;
    std::string verdict;
    for (int round = 0; round < ROUNDS; ++round) {
        double start = Now();
        entries = BareWalk(DRIVE);
        walk.push_back(Now() - start);

        start = Now();
        page.OnScan();
        while (page.IsBusy()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            Pump();
        }
        scan.push_back(Now() - start);
        verdict = page.StatusText();
    }
    const int rows = page.Findings().GetItemCount();
    page.DestroyWindow();
    DestroyWindow(parent);
    RemoveTree(DRIVE);

    double s = Median(scan), w = Median(walk);
    printf("thorough scan of %s, %d entries in %d folders, %d findings, median of %d:\n", DRIVE, entries,
           TOP_FOLDERS * (FOLDERS_PER_TOP + 1), findings, ROUNDS);
    printf("  scan, button to status line  %8.2f ms  (\"%s\", %d rows)\n", s, verdict.c_str(), rows);
    printf("  bare recursive walk          %8.2f ms\n", w);
    printf("  ratio                        %8.2f\n", s / w);
    return 0;
}
