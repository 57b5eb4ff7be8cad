// The memory guard page: processes whose program file hides itself or poses
// as a file of the Windows folders without carrying version information.
// A monitor thread looks again every ten seconds and brings the main window
// forward on this page when the number of such processes changes.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "controls/ImageButton.h"
#include "res/resource.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Guards.h"

// Looks `name` up in the Windows folder, then its "system" and "system32"
// folders (and, for the 32-bit program on 64-bit Windows, the real system32
// behind the redirection). The first hit that is not a folder goes to `out`
// (256 bytes); without one, `out` receives "Unknown" and the result is false.
bool FindInSystemDirectories(const char* name, char* out);
// True when `name` is found as a file in those folders.
bool IsSystemFileName(const char* name);
// True when the file carries version information, or the path is "Unknown".
bool HasVersionInfo(const char* path);

// A listed process: what its row shows, and the id it was listed with.
struct SuspectProcess {
    DWORD id;
    std::string name;  // as the process snapshot gives it
    std::string path;  // the program file
    UINT verdictId;    // IDS_RISKY or IDS_SUSPICIOUS
};

enum class SuspectRule {
    // The manual rebuild: hidden program files are "Risky"; visible ones
    // without version information that are named like a system file are
    // "Suspicious".
    Full,
    // The monitor: only hidden program files without version information
    // that are named like a system file, each "Risky".
    Monitor,
};

// The program files of the processes an earlier walk located. Each entry
// holds a handle to its process, so that its id cannot pass to another
// process while the entry lives; an entry goes when its process has ended
// or is missing from a walk.
class ProgramFileCache {
public:
    // The program file of `process`, located anew unless remembered.
    bool Locate(const PROCESSENTRY32& process, std::string* path);
    // Around each walk: entries not located during it are dropped.
    void BeginWalk();
    void EndWalk();
    size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        ui::ScopedHandle process;
        std::string path;
        bool seen = false;
    };
    std::map<DWORD, Entry> m_entries;
};

// One walk of the running processes under `rule`, in snapshot order. With a
// cache, the program files of processes it remembers are not looked up again.
std::vector<SuspectProcess> FindSuspectProcesses(SuspectRule rule, ProgramFileCache* cache = nullptr);

class MemoryPage : public ui::Dialog {
public:
    MemoryPage();
    ~MemoryPage() override;

    // Rebuilds the list once with the full rules. UI thread.
    void RefreshProcessList();
    // Button 1003: ends the process of the selected row and quarantines its
    // program file.
    void OnTerminate();
    // Replaces the rows, their process ids and the verdict line in one step.
    // UI thread.
    void ShowSuspects(const std::vector<SuspectProcess>& suspects);

    // For the tests.
    ui::ListView& Processes() { return m_list; }
    std::string VerdictText() const { return m_verdict.GetText(); }
    const std::vector<DWORD>& ProcessIds() const { return m_processIds; }
    HWND TerminateButton() const { return m_btnTerminate.Hwnd(); }
    // Runs the monitor's next pass now instead of at the end of its wait.
    void WakeMonitor() { SetEvent(m_wakeMonitor); }
    // The monitor passes whose result has been shown.
    unsigned MonitorPasses() const { return m_monitorPasses; }
    // Ends the monitor thread; it is not started again.
    void StopMonitor();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The monitor's waits.
    static constexpr DWORD MONITOR_FIRST_WAIT_MS = 5000;
    static constexpr DWORD MONITOR_PERIOD_MS = 10000;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnStopWorkers() override { StopMonitor(); }

private:
    static unsigned MemoryMonitorThreadProc(MemoryPage* page);
    // UI-thread half of a monitor pass.
    void OnMonitorPass(const std::vector<SuspectProcess>& suspects, bool comeForward);
    void ComeForward();

    ui::ListView m_list;
    ui::Static m_verdict;
    ImageButton m_btnTerminate;
    ui::ScopedFont m_verdictFont;
    // Entry n is the id of the process in row n; replaced with the rows.
    std::vector<DWORD> m_processIds;
    ui::ScopedHandle m_stopMonitor;
    ui::ScopedHandle m_wakeMonitor;
    std::atomic<unsigned> m_monitorPasses{0};
};
