#include "tools/MemoryPage.h"

#include <tlhelp32.h>

#include <cstring>
#include <utility>

#include "app/MainDialog.h"
#include "controls/PageButton.h"
#include "quarantine/QuarantineStore.h"
#include "ui/Dpi.h"
#include "ui/MessageBox.h"
#include "ui/Strings.h"
#include "ui/SystemLibrary.h"
#include "usb/ProcessTools.h"
#include "usb/RiskyFiles.h"

namespace {

const int PROCESS_COLUMN_WIDTH = 200;
const int SECURITY_COLUMN_WIDTH = 120;
const int PATH_COLUMN_WIDTH = 500;
const int PATH_BUFFER = 256;
const char UNKNOWN_PATH[] = "Unknown";
// An ended process lets go of its program file within moments; this is the
// most a user waits for it before the quarantine is tried anyway.
const DWORD PROCESS_EXIT_WAIT_MS = 5000;

// A monitor pass hands its whole result to the UI thread. wParam: TRUE when
// the window is to come forward; lParam: the std::vector<SuspectProcess>.
const UINT WM_MEMORY_MONITOR_PASS = WM_APP + 0x120;

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// The 32-bit program on 64-bit Windows: its "system32" is redirected to the
// 32-bit folder, and the real one is reached as "Sysnative".
bool RunsUnderWow64() {
    static const bool wow64 = [] {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (!kernel) return false;
        auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
        BOOL result = FALSE;
        return isWow64 && isWow64(GetCurrentProcess(), &result) && result;
    }();
    return wow64;
}

// "<system folder's parent>\Sysnative", or "" when it does not apply.
std::string NativeSystemFolder() {
    if (!RunsUnderWow64()) return std::string();
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system) return std::string();
    char* slash = strrchr(system, '\\');
    if (!slash) return std::string();
    *slash = '\0';
    return std::string(system) + "\\Sysnative";
}

// The path by which this process reaches the file itself: a 64-bit
// program's file in system32 would otherwise be looked up in the 32-bit
// folder under the same name.
std::string NativeFilePath(const std::string& path) {
    if (!RunsUnderWow64()) return path;
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system || path.size() <= length || path[length] != '\\') return path;
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path.c_str(), static_cast<int>(length), system,
                       static_cast<int>(length)) != CSTR_EQUAL) {
        return path;
    }
    std::string native = NativeSystemFolder();
    return native.empty() ? path : native + path.substr(length);
}

// The searches of FindInSystemDirectories, in order.
bool SearchSystemDirectories(const char* name, char* out) {
    if (!name || !*name) return false;
    char windows[PATH_BUFFER];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows) return false;
    const std::string folders[] = {windows, std::string(windows) + "\\system", std::string(windows) + "\\system32",
                                   NativeSystemFolder()};
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        char found[PATH_BUFFER];
        char* filePart = nullptr;
        DWORD size = SearchPathA(folder.c_str(), name, nullptr, sizeof found, found, &filePart);
        if (size == 0 || size >= sizeof found) continue;
        DWORD attributes = GetFileAttributesA(found);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (out) lstrcpynA(out, found, PATH_BUFFER);
        return true;
    }
    return false;
}

bool IsHiddenFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(NativeFilePath(path).c_str());
    // A file that cannot be read is not taken for a hidden one.
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

// 0 when the process is not listed under `rule`, else the verdict's string id.
// The cheap checks come first: most processes are visible.
UINT Classify(SuspectRule rule, const char* name, const std::string& path) {
    bool hidden = IsHiddenFile(path);
    if (rule == SuspectRule::Monitor) {
        if (!hidden || !IsSystemFileName(name)) return 0;
        return HasVersionInfo(NativeFilePath(path).c_str()) ? 0 : IDS_RISKY;
    }
    if (hidden) return IDS_RISKY;
    if (HasVersionInfo(NativeFilePath(path).c_str()) || !IsSystemFileName(name)) return 0;
    return IDS_SUSPICIOUS;
}

// The program file of a process: its program module, else the file of its
// name in the Windows folders. False when neither is found.
bool LocateProgramFile(const PROCESSENTRY32& process, char* path) {
    MODULEENTRY32 module = {};
    if (FindExeModule(process.th32ProcessID, &module, sizeof module)) {
        lstrcpynA(path, module.szExePath, PATH_BUFFER);
        return true;
    }
    return FindInSystemDirectories(process.szExeFile, path);
}

bool SameFile(const std::string& a, const std::string& b) {
    return !a.empty() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Ends process `id` when it still runs `path`, then quarantines the file;
// returns the message's string id.
UINT EndProcessAndQuarantine(DWORD id, const std::string& path) {
    ui::ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id));
    if (!process) return IDS_DELETE_FAILED;
    // While the handle is open the id cannot pass to another process, so the
    // check below is about the process that is about to be ended.
    if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return IDS_DELETE_FAILED;
    if (!SameFile(GetProcessExePath(id), path)) return IDS_DELETE_FAILED;
    if (!TerminateProcess(process, 0)) return IDS_DELETE_FAILED;
    ui::ShowMessage(IDS_PLEASE_WAIT);
    // A file still mapped by the dying process cannot be copied or deleted.
    WaitForProcessExit(process, PROCESS_EXIT_WAIT_MS);

    const std::string file = NativeFilePath(path);
    DWORD attributes = GetFileAttributesA(file.c_str());
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (QuarantineAndDelete(file.c_str())) return IDS_DELETED;
    // A file that stays keeps its attributes: a failed delete never unhides it.
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(file.c_str(), attributes);
    return IDS_DELETE_FAILED;
}

}  // namespace

bool FindInSystemDirectories(const char* name, char* out) {
    if (SearchSystemDirectories(name, out)) return true;
    if (out) lstrcpynA(out, UNKNOWN_PATH, PATH_BUFFER);
    return false;
}

bool IsSystemFileName(const char* name) {
    return SearchSystemDirectories(name, nullptr);
}

bool HasVersionInfo(const char* path) {
    if (!path) return false;
    if (MatchNoCase(path, UNKNOWN_PATH, 7)) return true;
    // The information is only asked for, not read: a longer block is cut to the buffer.
    static const auto getFileVersionInfo =
        ui::SystemProc<decltype(&GetFileVersionInfoA)>("version.dll", "GetFileVersionInfoA");
    char info[512];
    return getFileVersionInfo && getFileVersionInfo(path, 0, sizeof info, info) != FALSE;
}

bool ProgramFileCache::Locate(const PROCESSENTRY32& process, std::string* path) {
    auto known = m_entries.find(process.th32ProcessID);
    if (known != m_entries.end()) {
        if (WaitForSingleObject(known->second.process, 0) == WAIT_TIMEOUT) {
            known->second.seen = true;
            *path = known->second.path;
            return true;
        }
        m_entries.erase(known);
    }
    // Opened before the look-up, so that the file found is this process's.
    ui::ScopedHandle handle(OpenProcess(SYNCHRONIZE, FALSE, process.th32ProcessID));
    char found[PATH_BUFFER];
    if (!LocateProgramFile(process, found)) return false;
    *path = found;
    if (handle && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) {
        Entry& entry = m_entries[process.th32ProcessID];
        entry.process = std::move(handle);
        entry.path = found;
        entry.seen = true;
    }
    return true;
}

void ProgramFileCache::BeginWalk() {
    for (auto& entry : m_entries) entry.second.seen = false;
}

void ProgramFileCache::EndWalk() {
    for (auto entry = m_entries.begin(); entry != m_entries.end();) {
        if (entry->second.seen) {
            ++entry;
        } else {
            entry = m_entries.erase(entry);
        }
    }
}

std::vector<SuspectProcess> FindSuspectProcesses(SuspectRule rule, ProgramFileCache* cache) {
    std::vector<SuspectProcess> suspects;
    ui::ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return suspects;
    if (cache) cache->BeginWalk();
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof process;
    for (BOOL more = Process32First(snapshot, &process); more; more = Process32Next(snapshot, &process)) {
        std::string path;
        if (cache) {
            if (!cache->Locate(process, &path)) continue;
        } else {
            char found[PATH_BUFFER];
            if (!LocateProgramFile(process, found)) continue;
            path = found;
        }
        UINT verdict = Classify(rule, process.szExeFile, path);
        if (verdict) suspects.push_back({process.th32ProcessID, process.szExeFile, path, verdict});
    }
    if (cache) cache->EndWalk();
    return suspects;
}

MemoryPage::MemoryPage()
    : Dialog(IDD_PAGE_MEMORY),
      m_stopMonitor(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_wakeMonitor(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

MemoryPage::~MemoryPage() {
    // The monitor uses this object: it ends before the object does.
    StopMonitor();
    DestroyWindow();
    WaitForWorkers();
}

void MemoryPage::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_MEMORY_LIST, m_list);
    dx.Control(IDC_MEMORY_VERDICT, m_verdict);
}

BOOL MemoryPage::OnInitDialog() {
    Dialog::OnInitDialog();
    m_verdictFont.Reset(CreateFontA(ui::ScaleForDpi(20), ui::ScaleForDpi(10), 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_SWISS, "Arial"));
    m_verdict.SetFont(m_verdictFont);

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_list.InsertColumns({{IDS_COL_PROCESS, PROCESS_COLUMN_WIDTH},
                          {IDS_COL_SECURITY, SECURITY_COLUMN_WIDTH},
                          {IDS_COL_PROCESS_PATH, PATH_COLUMN_WIDTH}});

    SetUpPageButton(m_btnTerminate, Hwnd(), IDC_MEMORY_TERMINATE, IDB_DELETE);
    OnCommandId(IDC_MEMORY_TERMINATE, [this] { OnTerminate(); });

    // The list stays empty until the monitor's first pass.
    StartWorker(MemoryMonitorThreadProc);
    return TRUE;
}

void MemoryPage::StopMonitor() {
    SetEvent(m_stopMonitor);
}

void MemoryPage::ShowSuspects(const std::vector<SuspectProcess>& suspects) {
    const std::string verdicts[2] = {ui::LoadString(IDS_RISKY), ui::LoadString(IDS_SUSPICIOUS)};
    // The user's choice stays on its process while the monitor replaces the rows.
    int selected = m_list.GetFirstSelected();
    DWORD selectedId = 0;
    std::string selectedPath;
    if (selected >= 0 && static_cast<size_t>(selected) < m_processIds.size()) {
        selectedId = m_processIds[static_cast<size_t>(selected)];
        selectedPath = m_list.GetItemText(selected, 2);
    }
    m_list.SetRedraw(false);
    m_list.DeleteAllItems();
    m_processIds.clear();
    for (const SuspectProcess& suspect : suspects) {
        int row = m_list.InsertItem(static_cast<int>(m_processIds.size()), suspect.name);
        if (row < 0) continue;
        m_list.SetItemText(row, 1, verdicts[suspect.verdictId == IDS_RISKY ? 0 : 1]);
        m_list.SetItemText(row, 2, suspect.path);
        m_processIds.insert(m_processIds.begin() + row, suspect.id);
        if (selectedId && suspect.id == selectedId && SameFile(suspect.path, selectedPath)) m_list.Select(row);
    }
    m_list.SetRedraw(true);
    m_verdict.SetText(ui::LoadString(m_processIds.empty() ? IDS_NO_THREAT : IDS_AT_RISK));
}

void MemoryPage::RefreshProcessList() {
    ShowSuspects(FindSuspectProcesses(SuspectRule::Full));
}

void MemoryPage::OnTerminate() {
    int row = m_list.GetFirstSelected();
    if (row < 0 || static_cast<size_t>(row) >= m_processIds.size()) {
        ui::ShowMessage(IDS_SELECT_FILE);
        return;
    }
    // What the user chose, taken now: a monitor pass may replace the rows
    // while the question is open.
    const std::string name = m_list.GetItemText(row, 0);
    const std::string path = m_list.GetItemText(row, 2);
    const DWORD id = m_processIds[static_cast<size_t>(row)];
    if (ui::ShowMessage(ui::LoadString(IDS_DELETE_PREFIX) + name + "?", MB_OKCANCEL) != IDOK) return;
    ui::ShowMessage(EndProcessAndQuarantine(id, path));
    RefreshProcessList();
}

unsigned MemoryPage::MemoryMonitorThreadProc(MemoryPage* page) {
    const HWND window = page->Hwnd();
    const HANDLE waits[2] = {page->m_stopMonitor, page->m_wakeMonitor};
    DWORD wait = MONITOR_FIRST_WAIT_MS;
    size_t previousCount = 0;
    // Most processes outlive many passes: their program files are looked up once.
    ProgramFileCache programFiles;
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, wait) == WAIT_OBJECT_0) return 0;
        wait = MONITOR_PERIOD_MS;
        // The walk runs here; the UI thread only swaps the result in.
        std::vector<SuspectProcess> suspects = FindSuspectProcesses(SuspectRule::Monitor, &programFiles);
        if (WaitForSingleObject(page->m_stopMonitor, 0) == WAIT_OBJECT_0) return 0;
        bool comeForward = !suspects.empty() && suspects.size() != previousCount;
        previousCount = suspects.size();
        SendMessageA(window, WM_MEMORY_MONITOR_PASS, comeForward, reinterpret_cast<LPARAM>(&suspects));
    }
}

void MemoryPage::OnMonitorPass(const std::vector<SuspectProcess>& suspects, bool comeForward) {
    ShowSuspects(suspects);
    if (comeForward) ComeForward();
    ++m_monitorPasses;
}

void MemoryPage::ComeForward() {
    // Only a page of the live main window brings it forward.
    HWND main = g_hMainWnd;
    if (!main || GetParent(Hwnd()) != main || ui::Window::FromHandle(main) != g_pMainDialog) return;
    ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
    g_pMainDialog->ShowPage(PAGE_MEMORY);
}

LRESULT MemoryPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MEMORY_MONITOR_PASS) {
        OnMonitorPass(*reinterpret_cast<const std::vector<SuspectProcess>*>(lParam), wParam != 0);
        return 0;
    }
    return Dialog::WindowProc(msg, wParam, lParam);
}
