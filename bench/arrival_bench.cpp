// Device arrival: from the WM_DEVICECHANGE message to the shield page's final
// status line, for a USB drive root of 2,000 entries, next to a bare
// FindFirstFileA walk of the same root, measured in one run.
#include "tests/common/MainMarker.h"
#include <windows.h>
#include <dbt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "bench/BenchSupport.h"
#include "ui/Controls.h"
#include "usb/RiskyFiles.h"

namespace {

using bench::Median;
using bench::Now;
using bench::Pump;

const int kEntries = 2000;
// The roots the root check walks: E: holds the entries, F: is an empty USB
// drive. The bare walk and the classifying walk walk the same two, so that
// the ratios compare like with like.
const char kLetters[] = "EF";
const char* const kRoots[] = {"E:\\", "F:\\"};

void EmptyRoot(const char* root) {
    WIN32_FIND_DATAA found;
    std::string pattern = std::string(root) + "*.*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string path = std::string(root) + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// A root as a stick might hold it: mostly documents, some programs, one in
// fifty a hidden program, and an autorun file.
void LayOutRoot(const char* root) {
    for (int i = 0; i < kEntries - 1; ++i) {
        char name[64];
        const char* extension = i % 10 == 0 ? "exe" : "txt";
        snprintf(name, sizeof name, "%sfile%04d.%s", root, i, extension);
        HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        if (i % 50 == 0) SetFileAttributesA(name, FILE_ATTRIBUTE_HIDDEN);
    }
    HANDLE autorun = CreateFileA((std::string(root) + "AUTORUN.INF").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr);
    CloseHandle(autorun);
}

double BareWalk() {
    double start = Now();
    WIN32_FIND_DATAA found;
    int entries = 0;
    for (const char* root : kRoots) {
        HANDLE find = FindFirstFileA((std::string(root) + "*.*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        do ++entries;
        while (FindNextFileA(find, &found));
        FindClose(find);
    }
    double elapsed = Now() - start;
    if (entries < kEntries) printf("warning: the walk saw %d entries\n", entries);
    return elapsed;
}

// The walk with the root check's per-entry work and nothing of the page:
// what the classification itself adds to the bare walk.
double ClassifyingWalk(int& findings) {
    double start = Now();
    WIN32_FIND_DATAA found;
    findings = 0;
    std::vector<std::string> paths;
    for (const char* root : kRoots) {
        HANDLE find = FindFirstFileA((std::string(root) + "*.*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            int type = GetRiskyFileTypeOf(found.cFileName, found.dwFileAttributes);
            if (type == RISKY_INF || ((found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && type > 0)) {
                paths.push_back(std::string(root) + found.cFileName);
                ++findings;
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return Now() - start;
}

}  // namespace

int main() {
    // First: tells scripts/wine-exec that main() was reached.
    fputs(VX_MAIN_MARKER "\n", stdout);
    fflush(stdout);
    const char* root = "E:\\";
    EmptyRoot(root);
    EmptyRoot("F:\\");
    LayOutRoot(root);

    MainDialog dialog;
    if (!dialog.Create(nullptr)) {
        printf("cannot create the main window\n");
        return 1;
    }
    Pump();
    HWND status = GetDlgItem(dialog.Shield().Hwnd(), IDC_SHIELD_STATUS);
    std::vector<double> arrival, walk, scanOnly, classify;
    int findings = 0;
    std::string verdict;
    for (int round = 0; round < 7; ++round) {
        walk.push_back(BareWalk());
        classify.push_back(ClassifyingWalk(findings));
        SetWindowTextA(status, "");
        ShowWindow(dialog.Hwnd(), SW_HIDE);
        Pump();
        double start = Now();
        SendMessageA(dialog.Hwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        verdict = ui::GetWindowTextString(status);
        arrival.push_back(Now() - start);
        Pump();
        SendMessageA(GetDlgItem(dialog.Shield().Hwnd(), IDC_SHIELD_LIST), LVM_DELETEALLITEMS, 0, 0);
        start = Now();
        dialog.Shield().ScanDriveRoots(kLetters, 2);
        scanOnly.push_back(Now() - start);
    }
    dialog.DestroyWindow();
    EmptyRoot(root);

    double a = Median(arrival), w = Median(walk);
    printf("device arrival to the final status line, root of %d entries, median of 7:\n", kEntries);
    printf("  arrival and root check  %8.2f ms  (\"%s\")\n", a, verdict.c_str());
    printf("  root check alone        %8.2f ms\n", Median(scanOnly));
    printf("  bare FindFirstFileA     %8.2f ms  (E: and F:, as the root check)\n", w);
    printf("  walk and classification %8.2f ms  (%d findings)\n", Median(classify), findings);
    printf("  ratio, arrival          %8.2f\n", a / w);
    printf("  ratio, root check alone %8.2f\n", Median(scanOnly) / w);
    printf("  ratio, classification   %8.2f\n", Median(classify) / w);
    return 0;
}
