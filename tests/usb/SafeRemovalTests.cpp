#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "tests/fixtures/FixtureRecord.h"
#include "tests/usb/UsbTestSupport.h"
#include "usb/DriveInventory.h"
#include "usb/ProcessTools.h"
#include "usb/SafeRemoval.h"
#include "usb/SystemSeams.h"

namespace {

const char QUESTION[] = "Have you exited all the programs that are using USB disk?";
const char LOG_OFF_QUESTION[] = "You should log off the current user to safely remove USB storage device.";
const char STAND_IN_PROGRAM[] = "W:\\fixtures\\StandInProgram.exe";
const char STAND_IN_APPLET[] = "W:\\fixtures\\hotplug.dll";
const char SHELL_STAND_IN[] = "C:\\vxshell\\explorer.exe";
const char RECORD_FILE[] = "C:\\vxrecord.txt";
const char CHILD_SWITCH[] = "VX_SAFE_REMOVAL_CHILD";
// How long a started program may take to come up on a busy machine (a bound, not a goal).
const DWORD WAIT_FOR_PROGRAM_MS = 20000;

std::string SystemApplet() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\system32\\hotplug.dll";
}

std::string RemovalCommandLine() {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\system32\\RUNDLL32.EXE shell32.dll,Control_RunDLL hotplug.dll";
}

// ------------------------------------------------------ volume controls

// Which step fails for a volume: none, or lock, dismount, media removal, eject.
enum FailingStep { NO_FAILURE = 0, LOCK_FAILS = 1, DISMOUNT_FAILS = 2, REMOVAL_FAILS = 3, EJECT_FAILS = 4 };

struct VolumeCall {
    int volume;  // 1 for the first volume locked, 2 for the next...
    DWORD code;
};

std::vector<FailingStep> g_failingSteps;
std::vector<VolumeCall> g_volumeCalls;
std::vector<ACCESS_MASK> g_volumeAccess;
std::function<void()> g_onLock;

ACCESS_MASK GrantedAccess(HANDLE handle) {
    struct BasicInformation {
        ULONG attributes;
        ACCESS_MASK grantedAccess;
        ULONG counts[12];
    } info = {};
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    if (!query || query(handle, 0, &info, sizeof info, nullptr) < 0) return 0;
    return info.grantedAccess;
}

BOOL ScriptedVolumeControl(HANDLE volume, DWORD code, void* input, DWORD inputSize) {
    if (code == FSCTL_LOCK_VOLUME) {
        g_volumeAccess.push_back(GrantedAccess(volume));
        g_volumeCalls.push_back({g_volumeCalls.empty() ? 1 : g_volumeCalls.back().volume + 1, code});
        if (g_onLock) g_onLock();
    } else {
        g_volumeCalls.push_back({g_volumeCalls.empty() ? 0 : g_volumeCalls.back().volume, code});
    }
    if (code == IOCTL_STORAGE_MEDIA_REMOVAL) {
        EXPECT_EQ(1u, inputSize);
        EXPECT_TRUE(input && static_cast<PREVENT_MEDIA_REMOVAL*>(input)->PreventMediaRemoval == FALSE);
    } else {
        EXPECT_EQ(nullptr, input);
        EXPECT_EQ(0u, inputSize);
    }
    const int step = code == FSCTL_LOCK_VOLUME         ? LOCK_FAILS
                     : code == FSCTL_DISMOUNT_VOLUME   ? DISMOUNT_FAILS
                     : code == IOCTL_STORAGE_MEDIA_REMOVAL ? REMOVAL_FAILS
                     : code == IOCTL_STORAGE_EJECT_MEDIA   ? EJECT_FAILS
                                                           : -1;
    EXPECT_NE(-1, step) << "unexpected control code " << code;
    size_t volumeIndex = static_cast<size_t>(g_volumeCalls.back().volume - 1);
    FailingStep failing = volumeIndex < g_failingSteps.size() ? g_failingSteps[volumeIndex] : NO_FAILURE;
    if (step == failing) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

// While alive, the volume device controls answer as scripted: volume n (in
// the order they are locked) fails at steps[n - 1].
class VolumeStandIn {
public:
    explicit VolumeStandIn(std::vector<FailingStep> steps = {}) {
        g_failingSteps = std::move(steps);
        g_volumeCalls.clear();
        g_volumeAccess.clear();
        g_onLock = nullptr;
        m_replaced = SetVolumeControlForTest(ScriptedVolumeControl);
    }
    ~VolumeStandIn() {
        SetVolumeControlForTest(m_replaced);
        g_onLock = nullptr;
    }
    VolumeStandIn(const VolumeStandIn&) = delete;
    VolumeStandIn& operator=(const VolumeStandIn&) = delete;

private:
    VolumeControl m_replaced;
};

// The control codes sent to each volume, in order.
std::vector<std::vector<DWORD>> CodesByVolume() {
    std::vector<std::vector<DWORD>> codes;
    for (const VolumeCall& call : g_volumeCalls) {
        if (call.volume > static_cast<int>(codes.size())) codes.resize(call.volume);
        codes[call.volume - 1].push_back(call.code);
    }
    return codes;
}

std::vector<DWORD> CodesUpTo(FailingStep failing) {
    std::vector<DWORD> all = {FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME, IOCTL_STORAGE_MEDIA_REMOVAL,
                              IOCTL_STORAGE_EJECT_MEDIA};
    if (failing != NO_FAILURE) all.resize(failing);
    return all;
}

// --------------------------------------------------------- the log-off

std::vector<std::pair<UINT, DWORD>> g_sessionExits;

BOOL RecordSessionExit(UINT flags, DWORD reason) {
    g_sessionExits.push_back({flags, reason});
    return TRUE;
}

class SessionExitRecorder {
public:
    SessionExitRecorder() {
        g_sessionExits.clear();
        m_replaced = SetSessionExitForTest(RecordSessionExit);
    }
    ~SessionExitRecorder() { SetSessionExitForTest(m_replaced); }
    SessionExitRecorder(const SessionExitRecorder&) = delete;
    SessionExitRecorder& operator=(const SessionExitRecorder&) = delete;

private:
    SessionExit m_replaced;
};

// ------------------------------------------------------------ processes

bool IsRunning(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

// The ids of the running processes whose program file is `path`.
std::vector<DWORD> ProcessesRunning(const std::string& path) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(GetProcessExePath(entry.th32ProcessID).c_str(), path.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// The record as it stands. It is read sharing writes: a program recording
// now is not locked out, and a line it has not ended yet is not counted.
std::string RecordText() { return vxtest::ReadFile(RECORD_FILE, FILE_SHARE_READ | FILE_SHARE_WRITE); }

std::vector<std::string> RecordedLines() {
    std::vector<std::string> lines;
    std::string text = RecordText();
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

int CountRecorded(const std::string& line) {
    std::vector<std::string> lines = RecordedLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Prints to standard output go to a file while `action` runs; returns them.
std::string CaptureStandardOutput(const std::function<void()>& action) {
    fflush(stdout);
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    GetTempFileNameA(folder, "vxo", 0, path);
    int saved = _dup(_fileno(stdout));
    int file = _open(path, _O_WRONLY | _O_TRUNC | _O_BINARY);
    _dup2(file, _fileno(stdout));
    _close(file);
    action();
    fflush(stdout);
    _dup2(saved, _fileno(stdout));
    _close(saved);
    std::string text = vxtest::ReadFile(path);
    DeleteFileA(path);
    return text;
}

class SafeRemovalTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The system's removal applet is missing under Wine; the stand-in
        // records each start of the removal command line.
        ASSERT_TRUE(CopyFileA(STAND_IN_APPLET, SystemApplet().c_str(), FALSE));
    }
    static void TearDownTestSuite() { DeleteFileA(SystemApplet().c_str()); }

    void SetUp() override {
        RecordFixedDrives();
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
        DeleteFileA(RECORD_FILE);
        SetEnvironmentVariableA("VX_FIXTURE_RECORD", RECORD_FILE);
        CreateDirectoryA("C:\\vxshell", nullptr);
        CreateDirectoryA("C:\\vxtools", nullptr);
        m_guardsBefore = vxtest::GuardsSeen();
    }

    void TearDown() override {
        for (HANDLE process : m_started) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        for (DWORD id : ProcessesRunning(SHELL_STAND_IN)) EndProcess(id);
        SetEnvironmentVariableA("VX_FIXTURE_RECORD", nullptr);
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
        vxtest::EmptyFolder("C:\\vxshell");
        vxtest::EmptyFolder("C:\\vxtools");
        RemoveDirectoryA("C:\\vxshell");
        RemoveDirectoryA("C:\\vxtools");
        DeleteFileA(RECORD_FILE);
    }

    static void EndProcess(DWORD id) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) return;
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }

    // Copies the stand-in program to `path` and starts it; returns its handle
    // once it runs there and has recorded its command line. A program ended
    // before it recorded would leave a test counting one start too few.
    HANDLE Start(const std::string& path, const std::string& arguments = "") {
        size_t slash = path.rfind('\\');
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
        EXPECT_TRUE(CopyFileA(STAND_IN_PROGRAM, path.c_str(), FALSE)) << path;
        std::string commandLine = "\"" + path + "\"" + arguments;
        // CreateProcessA may change the buffer it is given: the line to look for is kept apart.
        const std::string recorded = commandLine;
        const int recordedBefore = CountRecorded(recorded);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &started)) {
            ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
            return nullptr;
        }
        CloseHandle(started.hThread);
        m_started.push_back(started.hProcess);
        const DWORD id = started.dwProcessId;
        EXPECT_TRUE(vxtest::PumpUntil(
            [&] {
                return lstrcmpiA(GetProcessExePath(id).c_str(), path.c_str()) == 0 &&
                       CountRecorded(recorded) > recordedBefore;
            },
            WAIT_FOR_PROGRAM_MS))
            << path << " did not come up";
        return started.hProcess;
    }

    // Waits for `count` starts of the removal command line (or, for 0, a
    // moment in which none comes) and returns how many came.
    static int RemovalDialogsOpened(int count) {
        if (count == 0) vxtest::PumpFor(1500);
        else vxtest::PumpUntil([&] { return CountRecorded(RemovalCommandLine()) >= count; }, WAIT_FOR_PROGRAM_MS);
        return CountRecorded(RemovalCommandLine());
    }

    // The shell stand-in ran again from its path as another process.
    static bool ShellStartedAgain(HANDLE ended) {
        DWORD endedId = GetProcessId(ended);
        return vxtest::PumpUntil([&] {
            std::vector<DWORD> running = ProcessesRunning(SHELL_STAND_IN);
            return std::any_of(running.begin(), running.end(), [&](DWORD id) { return id != endedId; });
        }, WAIT_FOR_PROGRAM_MS);
    }

    int BenchShellSpared() const { return vxtest::GuardsSeen().benchShellSpared - m_guardsBefore.benchShellSpared; }

    std::vector<HANDLE> m_started;
    vxtest::GuardRecord m_guardsBefore;
};

// ------------------------------------------------------- EjectUsbVolume

TEST_F(SafeRemovalTest, EjectOpensRemovableAndFixedVolumesForWritingAndCdRomsForReading) {
    VolumeStandIn volumes;
    for (char letter : {'E', 'G', 'H'}) EXPECT_EQ(EJECT_DONE, EjectUsbVolume(letter)) << letter;
    ASSERT_EQ(3u, g_volumeAccess.size());
    EXPECT_EQ(FILE_READ_DATA | FILE_WRITE_DATA, g_volumeAccess[0] & (FILE_READ_DATA | FILE_WRITE_DATA)) << "E:";
    EXPECT_EQ(FILE_READ_DATA | FILE_WRITE_DATA, g_volumeAccess[1] & (FILE_READ_DATA | FILE_WRITE_DATA)) << "G:";
    EXPECT_EQ(FILE_READ_DATA, g_volumeAccess[2] & (FILE_READ_DATA | FILE_WRITE_DATA)) << "H:";
}

TEST_F(SafeRemovalTest, EjectRefusesANetworkDriveWithItsDiagnostic) {
    VolumeStandIn volumes;
    int result = -1;
    std::string printed = CaptureStandardOutput([&] { result = EjectUsbVolume('N'); });
    EXPECT_EQ(EJECT_FAILED, result);
    EXPECT_EQ("Cannot eject.  Drive type is incorrect.\n", printed);
    EXPECT_TRUE(g_volumeCalls.empty());
}

TEST_F(SafeRemovalTest, EjectReportsAVolumeThatCannotBeOpened) {
    VolumeStandIn volumes;
    int result = -1;
    std::string printed;
    {
        vxtest::DosDeviceOverride gone('F', "\\Device\\VxNoSuchVolume");
        printed = CaptureStandardOutput([&] { result = EjectUsbVolume('F'); });
    }
    EXPECT_EQ(EJECT_FAILED, result);
    EXPECT_EQ(0u, printed.find("Error ")) << printed;
    EXPECT_NE(std::string::npos, printed.find(": CreateFile\n")) << printed;
    EXPECT_TRUE(g_volumeCalls.empty());
}

struct EjectCase {
    FailingStep failing;
    int result;
};

class EjectResults : public SafeRemovalTest, public testing::WithParamInterface<EjectCase> {};

TEST_P(EjectResults, StopAtTheFirstFailingStep) {
    VolumeStandIn volumes({GetParam().failing});
    EXPECT_EQ(GetParam().result, EjectUsbVolume('E'));
    EXPECT_EQ(std::vector<std::vector<DWORD>>{CodesUpTo(GetParam().failing)}, CodesByVolume());
}

INSTANTIATE_TEST_SUITE_P(Steps, EjectResults,
                         testing::Values(EjectCase{NO_FAILURE, EJECT_DONE}, EjectCase{LOCK_FAILS, EJECT_FAILED},
                                         EjectCase{DISMOUNT_FAILS, EJECT_FAILED},
                                         EjectCase{REMOVAL_FAILS, EJECT_DISMOUNTED_ONLY},
                                         EjectCase{EJECT_FAILS, EJECT_DISMOUNTED_ONLY}));

// ------------------------------------------------ SafelyRemoveUsbDrives

TEST_F(SafeRemovalTest, CancelChangesNothing) {
    VolumeStandIn volumes;
    HANDLE onUsb = Start("E:\\holiday.exe");
    HANDLE shell = Start(SHELL_STAND_IN);
    vxtest::ExpectMessage(QUESTION, IDCANCEL);
    SafelyRemoveUsbDrives();
    EXPECT_TRUE(IsRunning(onUsb));
    EXPECT_TRUE(IsRunning(shell));
    EXPECT_TRUE(g_volumeCalls.empty());
    EXPECT_EQ(0, BenchShellSpared()) << "the shell was not even asked to end";
    EXPECT_EQ(0, RemovalDialogsOpened(0));
    EXPECT_EQ(UINT(MB_OKCANCEL), vxtest::ShownMessages().at(0).type & MB_TYPEMASK);
}

TEST_F(SafeRemovalTest, OkEndsTheProgramsOfTheUsbDrivesAndTheShellThenEjectsAndStartsTheShellAgain) {
    VolumeStandIn volumes;
    HANDLE onE = Start("E:\\holiday.exe");
    HANDLE onF = Start("F:\\tools\\Runner.EXE");
    HANDLE onC = Start("C:\\vxtools\\keeper.exe");
    HANDLE shell = Start(SHELL_STAND_IN);
    // Every ended program must be gone before the first volume is locked.
    bool goneBeforeLock = false;
    g_onLock = [&] { goneBeforeLock = !IsRunning(onE) && !IsRunning(onF) && !IsRunning(shell); };

    vxtest::ExpectMessage(QUESTION, IDOK);
    SafelyRemoveUsbDrives();

    EXPECT_FALSE(IsRunning(onE));
    EXPECT_FALSE(IsRunning(onF));
    EXPECT_FALSE(IsRunning(shell));
    EXPECT_TRUE(IsRunning(onC)) << "a program on a hard disk stays";
    EXPECT_TRUE(goneBeforeLock);
    EXPECT_EQ(1, BenchShellSpared()) << "the bench's own shell was asked to end too";
    // E: and F: in order, each locked, dismounted, freed and ejected.
    EXPECT_EQ((std::vector<std::vector<DWORD>>{CodesUpTo(NO_FAILURE), CodesUpTo(NO_FAILURE)}), CodesByVolume());
    EXPECT_EQ(2, RemovalDialogsOpened(2));
    EXPECT_TRUE(ShellStartedAgain(shell));
    const std::string shellCommandLine = "\"" + std::string(SHELL_STAND_IN) + "\"";
    EXPECT_TRUE(vxtest::PumpUntil([&] { return CountRecorded(shellCommandLine) == 2; }, WAIT_FOR_PROGRAM_MS))
        << "started by the test, then again with its own command line\n" << RecordText();
    EXPECT_EQ(1u, vxtest::ShownMessages().size());
}

struct RemovalCase {
    const char* name;
    FailingStep failing;
    int logOffAnswer;  // 0: no log-off question
    int dialogs;       // removal dialogs per drive
};

class EjectOutcomes : public SafeRemovalTest, public testing::WithParamInterface<RemovalCase> {};

TEST_P(EjectOutcomes, EachDriveGetsTheLogOffQuestionOrTheRemovalDialog) {
    const RemovalCase& c = GetParam();
    VolumeStandIn volumes({c.failing, c.failing});
    SessionExitRecorder sessionExits;
    HANDLE shell = Start(SHELL_STAND_IN);
    vxtest::ExpectMessage(QUESTION, IDOK);
    if (c.logOffAnswer) {
        vxtest::ExpectMessage(LOG_OFF_QUESTION, c.logOffAnswer);
        vxtest::ExpectMessage(LOG_OFF_QUESTION, c.logOffAnswer);
    }
    SafelyRemoveUsbDrives();

    EXPECT_EQ((std::vector<std::vector<DWORD>>{CodesUpTo(c.failing), CodesUpTo(c.failing)}), CodesByVolume());
    EXPECT_EQ(2 * c.dialogs, RemovalDialogsOpened(2 * c.dialogs));
    std::vector<std::pair<UINT, DWORD>> expectedExits;
    if (c.logOffAnswer == IDOK) expectedExits.assign(2, {UINT(EWX_LOGOFF), 0u});
    EXPECT_EQ(expectedExits, g_sessionExits);
    EXPECT_FALSE(IsRunning(shell));
    // Even with a log-off asked for: a program may still refuse to end.
    EXPECT_TRUE(ShellStartedAgain(shell));
}

INSTANTIATE_TEST_SUITE_P(Results, EjectOutcomes,
                         testing::Values(RemovalCase{"LockFailsLogOffAccepted", LOCK_FAILS, IDOK, 0},
                                         RemovalCase{"DismountFailsLogOffDeclined", DISMOUNT_FAILS, IDCANCEL, 0},
                                         RemovalCase{"RemovalNotAllowed", REMOVAL_FAILS, 0, 1},
                                         RemovalCase{"NotEjected", EJECT_FAILS, 0, 1},
                                         RemovalCase{"Ejected", NO_FAILURE, 0, 1}),
                         [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

TEST_F(SafeRemovalTest, OnTheNineXFamilyProcessesEndButNothingIsEjected) {
    VolumeStandIn volumes;
    HANDLE onE = Start("E:\\holiday.exe");
    HANDLE onC = Start("C:\\vxtools\\keeper.exe");
    HANDLE shell = Start(SHELL_STAND_IN);
    {
        vxtest::PlatformStandIn nineX(VER_PLATFORM_WIN32_WINDOWS);
        vxtest::ExpectMessage(QUESTION, IDOK);
        SafelyRemoveUsbDrives();
    }
    EXPECT_FALSE(IsRunning(onE));
    EXPECT_FALSE(IsRunning(shell));
    EXPECT_TRUE(IsRunning(onC));
    EXPECT_TRUE(g_volumeCalls.empty());
    EXPECT_EQ(0, RemovalDialogsOpened(0));
    EXPECT_TRUE(ShellStartedAgain(shell));
}

TEST_F(SafeRemovalTest, WithNoUsbDriveTheShellIsStillEndedAndStartedAgain) {
    VolumeStandIn volumes;
    HANDLE onC = Start("C:\\vxtools\\keeper.exe");
    HANDLE shell = Start(SHELL_STAND_IN);
    {
        vxtest::DosDeviceOverride noE('E');
        vxtest::DosDeviceOverride noF('F');
        vxtest::ExpectMessage(QUESTION, IDOK);
        SafelyRemoveUsbDrives();
    }
    EXPECT_FALSE(IsRunning(shell));
    EXPECT_TRUE(IsRunning(onC));
    EXPECT_EQ(1, BenchShellSpared());
    EXPECT_TRUE(g_volumeCalls.empty());
    EXPECT_TRUE(ShellStartedAgain(shell));
}

// A portable copy of the program on a USB drive: this test executable,
// copied to E: and run there (see SafeRemovalFromUsbDrive below).
TEST_F(SafeRemovalTest, NeverEndsItselfEvenWhenStartedFromAUsbDrive) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(CopyFileA(self, "E:\\portable.exe", FALSE));
    HANDLE other = Start("E:\\other.exe");

    SetEnvironmentVariableA(CHILD_SWITCH, "1");
    char commandLine[] = "\"E:\\portable.exe\" --gtest_filter=SafeRemovalFromUsbDrive.*";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    BOOL started = CreateProcessA("E:\\portable.exe", commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                  nullptr, &startup, &child);
    SetEnvironmentVariableA(CHILD_SWITCH, nullptr);
    ASSERT_TRUE(started);
    CloseHandle(child.hThread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 60000));
    DWORD exitCode = 1;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hProcess);
    EXPECT_EQ(0u, exitCode) << "the copy on E: ended itself or failed its checks";
    EXPECT_FALSE(IsRunning(other)) << "the other program on E: was ended";
    EXPECT_EQ(1, CountRecorded("SafeRemovalFromUsbDrive: done")) << "the copy lived to the end";
}

// Runs only inside the copy on E: started by the test above.
TEST(SafeRemovalFromUsbDrive, RunsToTheEnd) {
    if (!getenv(CHILD_SWITCH)) GTEST_SKIP() << "runs only as the copy on a USB drive";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_EQ('E', self[0]);
    VolumeStandIn volumes;
    vxtest::ExpectMessage(QUESTION, IDOK);
    SafelyRemoveUsbDrives();
    EXPECT_EQ(2u, CodesByVolume().size()) << "both drives ejected";
    RecordLine("SafeRemovalFromUsbDrive: done");
}

}  // namespace
