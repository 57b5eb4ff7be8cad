// The 64-bit setup program and its uninstaller, run for real in the sandbox
// as a user or an administrator's script would run them. The installed
// program runs in a process of its own: its message boxes are found on the
// screen and answered by pressing their buttons.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <functional>
#include <string>
#include <vector>

#include "quarantine/QuarantineStore.h"
#include "res/resource.h"
#include "res/version.h"
#include "tests/common/TestSupport.h"
#include "ui/Guards.h"
#include "ui/Strings.h"

namespace {

// A folder whose path holds spaces, below Program Files as a user would pick it.
const std::string kInstallFolder = "C:\\Program Files\\My Tools\\Vantorix";
const char* const kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantorix";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kSettingsKey = "SOFTWARE\\Brisquandel";
const DWORD kLongWaitMs = 60000;  // a whole setup run on a busy machine

std::string BuildFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\') + 1);
}

std::string SetupPath() { return BuildFolder() + "dist\\Vantorix-" VX_VERSION_TEXT "-setup.exe"; }

std::string InstalledFile(const std::string& name) { return kInstallFolder + "\\" + name; }

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
    }
}

bool ReadRegString(HKEY root, const char* key, const char* name, std::string* value) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (SHGetValueA(root, key, name, &type, buffer, &size) != ERROR_SUCCESS || type != REG_SZ) return false;
    *value = buffer;
    return true;
}

bool ReadRegDword(HKEY root, const char* key, const char* name, DWORD* value) {
    DWORD size = sizeof *value;
    DWORD type = 0;
    return SHGetValueA(root, key, name, &type, value, &size) == ERROR_SUCCESS && type == REG_DWORD;
}

bool KeyExists(HKEY root, const char* key) {
    ui::ScopedRegKey opened;
    return RegOpenKeyExA(root, key, 0, KEY_READ, &opened.Out()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const char* key, const char* name) {
    return SHGetValueA(root, key, name, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string ShortcutPath() {
    char programs[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    return std::string(programs) + "\\Vantorix.lnk";
}

std::string ShortcutTarget(const std::string& link) {
    std::string target;
    CoInitialize(nullptr);
    IShellLinkA* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            char path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

// What the task scheduler keeps of the log-on task.
std::string LogonTaskFile() {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\Tasks\\Vantorix";
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The titles of the top-level windows on the screen, for failure messages.
std::string VisibleWindowTitles() {
    std::string titles;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            if (IsWindowVisible(window))
                *reinterpret_cast<std::string*>(param) += "\"" + WindowText(window) + "\" (" + ClassName(window) + ") ";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&titles));
    return titles;
}

// The control of `window` (at any depth) whose text is `text`.
HWND FindControl(HWND window, const std::string& text) {
    struct Search {
        const std::string* text;
        HWND found;
    } search = {&text, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            Search* s = reinterpret_cast<Search*>(param);
            // Asked of the control itself: an edit box of another process
            // keeps its content to itself.
            char text[1024] = {};
            DWORD_PTR length = 0;
            SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                5000, &length);
            if (*s->text != text) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A message box of process `pid` (0: of any process) on the screen whose text
// starts with `text`.
HWND FindMessageBox(DWORD pid, const std::string& text) {
    struct Search {
        DWORD pid;
        const std::string* text;
        HWND found;
    } search = {pid, &text, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            Search* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if ((s->pid && owner != s->pid) || !IsWindowVisible(window) || ClassName(window) != "#32770")
                return TRUE;
            for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (ClassName(child) == "Static" && WindowText(child).compare(0, s->text->size(), *s->text) == 0) {
                    s->found = window;
                    return FALSE;
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits for the box and presses its button, as a user would. Returns the box's
// default button (0 when no box came or it has none).
int AnswerMessageBox(DWORD pid, const std::string& text, int button, DWORD timeoutMs = kLongWaitMs) {
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindMessageBox(pid, text)) != nullptr; }, timeoutMs)) return 0;
    // The default button is the one drawn as such (Enter presses it).
    int defaultId = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child && !defaultId; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassName(child) == "Button" && (GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            defaultId = GetDlgCtrlID(child);
    HWND control = GetDlgItem(box, button);
    EXPECT_NE(nullptr, control) << "the box has no button " << button;
    DWORD_PTR ignored;
    SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    return defaultId;
}

// A command with every process it starts: the uninstaller hands its work to a
// copy of itself outside the folder it removes, and the group waits for that.
class ProcessGroup {
public:
    ~ProcessGroup() {
        // Only after a failure: what this test started and left running.
        if (m_job) TerminateJobObject(m_job, 1);
    }
    bool Start(const std::string& commandLine) {
        m_job.Reset(CreateJobObjectA(nullptr, nullptr));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (!m_job || !CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                      nullptr, &startup, &info))
            return false;
        m_process.Reset(info.hProcess);
        ui::ScopedHandle thread(info.hThread);
        AssignProcessToJobObject(m_job, m_process);
        ResumeThread(thread);
        return true;
    }
    bool WaitUntilAllEnded(DWORD timeoutMs = kLongWaitMs) {
        return WaitFor(
            [&] {
                JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
                return QueryInformationJobObject(m_job, JobObjectBasicAccountingInformation, &accounting,
                                                 sizeof accounting, nullptr) &&
                       accounting.ActiveProcesses == 0;
            },
            timeoutMs);
    }
    // The command itself, without what it started.
    bool WaitForCommand(DWORD timeoutMs = kLongWaitMs) const {
        return WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
    }
    // The exit code of the command itself.
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process, &code);
        return code;
    }

private:
    ui::ScopedHandle m_job;
    ui::ScopedHandle m_process;
};

DWORD RunToEnd(const std::string& commandLine) {
    ProcessGroup group;
    if (!group.Start(commandLine) || !group.WaitUntilAllEnded()) return STILL_ACTIVE;
    return group.ExitCode();
}

// The installed program, started as the Start-menu shortcut starts it.
class InstalledProgram {
public:
    ~InstalledProgram() {
        // Only when a test failed half-way: the process is this test's own.
        if (m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) TerminateProcess(m_process, 1);
    }
    bool Start() {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        std::string line = "\"" + InstalledFile("Vantorix.exe") + "\"";
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, kInstallFolder.c_str(),
                            &startup, &info))
            return false;
        m_process.Reset(info.hProcess);
        CloseHandle(info.hThread);
        m_pid = info.dwProcessId;
        return true;
    }
    // A copy that another program started, found by its main window.
    bool Find() {
        HWND window = nullptr;
        EnumWindows(
            [](HWND candidate, LPARAM param) -> BOOL {
                if (!GetPropA(candidate, "Vantorix")) return TRUE;
                *reinterpret_cast<HWND*>(param) = candidate;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&window));
        if (!window) return false;
        GetWindowThreadProcessId(window, &m_pid);
        m_process.Reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, m_pid));
        return m_process.Valid();
    }
    DWORD Pid() const { return m_pid; }
    // Its main window: the top-level window that carries the program's property.
    HWND MainWindow() const {
        struct Search {
            DWORD pid;
            HWND found;
        } search = {m_pid, nullptr};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                Search* s = reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner != s->pid || !GetPropA(window, "Vantorix")) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    bool HasEnded(DWORD timeoutMs) const { return WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0; }
    // Started for the first time, it asks once about autorun (answered Cancel:
    // the sandbox's policy stays as it is), then settles in the tray.
    bool StartAndSettleInTheTray() { return Start() && SettlesInTheTray(); }
    bool SettlesInTheTray() {
        std::string question = ui::LoadString(IDS_ASK_DISABLE_AUTORUN);
        HWND window = nullptr;
        return WaitFor(
            [&] {
                if (FindMessageBox(m_pid, question)) AnswerMessageBox(m_pid, question, IDCANCEL, 0);
                window = MainWindow();
                return window && !IsWindowVisible(window) && TrayIconPresent(window);
            },
            kLongWaitMs);
    }
    static bool TrayIconPresent(HWND window) {
        // Changing nothing (no flags) succeeds only for an icon that is there.
        NOTIFYICONDATAA probe = {};
        probe.cbSize = sizeof probe;
        probe.hWnd = window;
        probe.uID = 160;
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
    }

private:
    ui::ScopedHandle m_process;
    DWORD m_pid = 0;
};

std::string FileBytes(const std::string& path) { return vxtest::ReadFile(path); }

std::string SystemFile(const std::string& name) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\" + name;
}

// Wine's task scheduler keeps neither the log-on trigger, nor the group and
// run level, nor the command of a task. While alive, a recorder stands in for
// schtasks.exe and keeps what setup hands it.
class RecordedSchtasks {
public:
    RecordedSchtasks() : m_original(FileBytes(SystemFile("schtasks.exe"))) {
        m_ready = !m_original.empty() &&
                  CopyFileA((BuildFolder() + "fixtures\\TaskRecorder.exe").c_str(), SystemFile("schtasks.exe").c_str(),
                            FALSE) &&
                  SHSetValueA(HKEY_CURRENT_USER, kOverrides, "schtasks.exe", REG_SZ, "native", 7) == ERROR_SUCCESS;
    }
    ~RecordedSchtasks() {
        if (!m_original.empty()) vxtest::WriteFile(SystemFile("schtasks.exe"), m_original);
        SHDeleteValueA(HKEY_CURRENT_USER, kOverrides, "schtasks.exe");
        Forget();
    }
    bool Ready() const { return m_ready; }
    std::string CommandLine() const { return FileBytes(SystemFile("schtasks-command.txt")); }
    // The task file, UTF-16 with a byte-order mark, as text.
    std::string TaskXml() const {
        std::string bytes = FileBytes(SystemFile("schtasks-task.xml"));
        if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return "";
        std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        std::string text(wide.size() * 2 + 1, '\0');
        int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
                                         static_cast<int>(text.size()), nullptr, nullptr);
        text.resize(length > 0 ? length : 0);
        return text;
    }
    void Forget() const {
        DeleteFileA(SystemFile("schtasks-command.txt").c_str());
        DeleteFileA(SystemFile("schtasks-task.xml").c_str());
    }

private:
    static constexpr const char* kOverrides = "Software\\Wine\\DllOverrides";
    std::string m_original;
    bool m_ready = false;
};

// Every installation a test makes is removed again, whatever happened.
class Setup : public testing::Test {
protected:
    void SetUp() override { RemoveEverything(); }
    void TearDown() override { RemoveEverything(); }

    static void InstallSilently() {
        ASSERT_TRUE(vxtest::FileExists(SetupPath())) << SetupPath();
        // /D= comes last and unquoted, spaces and all.
        ASSERT_EQ(0u, RunToEnd("\"" + SetupPath() + "\" /S /D=" + kInstallFolder));
        ASSERT_TRUE(vxtest::FileExists(InstalledFile("Vantorix.exe")));
    }

    // A quarantined file, as the installed program would have made it.
    static std::string MakeQuarantinedFile() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        std::string plain = std::string(temp) + "vx-quarantined-sample.txt";
        vxtest::WriteFile(plain, "a deleted file, kept in the quarantine\r\n");
        CreateDirectoryA(InstalledFile("quarantine").c_str(), nullptr);
        std::string quarantined = InstalledFile("quarantine\\vx-quarantined-sample.txt.bq");
        EXPECT_EQ(QCOPY_OK, CopyQuarantineFile(plain.c_str(), quarantined.c_str(), TRUE));
        DeleteFileA(plain.c_str());
        return quarantined;
    }

    static void ExpectEverythingInstalledIsGone() {
        for (const char* name : {"Vantorix.exe", "Vantorix.chm", "uninstall.exe"})
            EXPECT_FALSE(vxtest::FileExists(InstalledFile(name))) << name;
        EXPECT_FALSE(vxtest::FileExists(ShortcutPath()));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Vantorix"));
        EXPECT_FALSE(vxtest::FileExists(LogonTaskFile()));
    }

private:
    static void RemoveEverything() {
        std::string quiet;
        if (ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &quiet)) RunToEnd(quiet);
        if (GetFileAttributesA(kInstallFolder.c_str()) != INVALID_FILE_ATTRIBUTES) {
            vxtest::EmptyFolder(kInstallFolder + "\\");
            RemoveDirectoryA(kInstallFolder.c_str());
        }
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
    }
};

TEST_F(Setup, SilentInstallPutsTheProgramItsShortcutItsEntryAndItsLogonStartInPlace) {
    InstallSilently();
    EXPECT_EQ(FileBytes(BuildFolder() + "Vantorix.exe"), FileBytes(InstalledFile("Vantorix.exe")));
    EXPECT_TRUE(vxtest::FileExists(InstalledFile("uninstall.exe")));
    // The help file ships when the build made it.
    EXPECT_EQ(vxtest::FileExists(BuildFolder() + "Vantorix.chm"), vxtest::FileExists(InstalledFile("Vantorix.chm")));

    EXPECT_EQ(InstalledFile("Vantorix.exe"), ShortcutTarget(ShortcutPath())) << ShortcutPath();

    struct Value {
        const char* name;
        std::string expected;
    };
    const Value strings[] = {
        {"DisplayName", "Vantorix"},
        {"DisplayVersion", VX_VERSION_TEXT},
        {"Publisher", VX_PUBLISHER},
        {"DisplayIcon", "\"" + InstalledFile("Vantorix.exe") + "\",0"},
        {"InstallLocation", kInstallFolder},
        {"UninstallString", "\"" + InstalledFile("uninstall.exe") + "\""},
        {"QuietUninstallString", "\"" + InstalledFile("uninstall.exe") + "\" /S"},
    };
    for (const Value& v : strings) {
        std::string actual;
        EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, v.name, &actual)) << v.name;
        EXPECT_EQ(v.expected, actual) << v.name;
    }
    DWORD noModify = 0, noRepair = 0, sizeKb = 0;
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify", &noModify));
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair", &noRepair));
    EXPECT_EQ(1u, noModify);
    EXPECT_EQ(1u, noRepair);
    ASSERT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", &sizeKb));
    size_t installedBytes = FileBytes(InstalledFile("Vantorix.exe")).size() +
                            FileBytes(InstalledFile("uninstall.exe")).size() +
                            FileBytes(InstalledFile("Vantorix.chm")).size();
    EXPECT_NEAR(static_cast<double>(installedBytes) / 1024, sizeKb, 3.0) << "EstimatedSize is in KB";

    // Windows Vista and later: a log-on task, not the Run key, which skips
    // elevated programs. Wine's scheduler keeps the task under its name with
    // its description and settings, but drops the log-on trigger, the group
    // and run level, and the command.
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Vantorix"));
    std::string task = FileBytes(LogonTaskFile());
    EXPECT_NE(std::string::npos, task.find("<Description>Starts Vantorix when a user logs on.</Description>"))
        << task;
    EXPECT_NE(std::string::npos, task.find("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"))
        << "a resident program has no time limit";
}

TEST_F(Setup, TheInstalledProgramStartsAndHidesToTheTray) {
    InstallSilently();
    InstalledProgram program;
    ASSERT_TRUE(program.StartAndSettleInTheTray());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSettingsKey)) << "the program made its settings key";
    EXPECT_TRUE(vxtest::FileExists(InstalledFile("Vantorix.exe")));
}

TEST_F(Setup, SilentUninstallMakesTheRunningProgramQuitThenRemovesAllButTheQuarantine) {
    InstallSilently();
    InstalledProgram program;
    ASSERT_TRUE(program.StartAndSettleInTheTray());
    std::string quarantined = MakeQuarantinedFile();
    std::string quarantinedBytes = FileBytes(quarantined);
    ASSERT_FALSE(quarantinedBytes.empty());

    std::string quiet;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &quiet));
    ProcessGroup uninstall;
    ASSERT_TRUE(uninstall.Start(quiet));
    // The program announces that it will quit; nothing is removed before it has.
    std::string notice = ui::LoadString(IDS_UNINSTALL_QUIT);
    bool answered = WaitFor([&] { return FindMessageBox(program.Pid(), notice) != nullptr; }, kLongWaitMs);
    ASSERT_TRUE(answered) << "the program showed no \"" << notice << "\"";
    EXPECT_TRUE(vxtest::FileExists(InstalledFile("Vantorix.exe"))) << "removed while the program still ran";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    vxtest::SaveScreenshot(GetDesktopWindow(), "uninstall_notice");
    AnswerMessageBox(program.Pid(), notice, IDOK);
    EXPECT_TRUE(program.HasEnded(kLongWaitMs));
    ASSERT_TRUE(uninstall.WaitUntilAllEnded());
    EXPECT_EQ(0u, uninstall.ExitCode());

    ExpectEverythingInstalledIsGone();
    EXPECT_EQ(quarantinedBytes, FileBytes(quarantined)) << "a silent uninstall keeps the quarantined files";
}

TEST_F(Setup, SilentUninstallWithoutQuarantinedFilesLeavesNoFolderBehind) {
    InstallSilently();
    CreateDirectoryA(InstalledFile("quarantine").c_str(), nullptr);
    std::string quiet;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &quiet));
    EXPECT_EQ(0u, RunToEnd(quiet));
    ExpectEverythingInstalledIsGone();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kInstallFolder.c_str()));
}

TEST_F(Setup, InteractiveUninstallShowsTheTitleTheProgramWatchesForAndAsksBeforeDroppingTheQuarantine) {
    InstallSilently();
    InstalledProgram program;
    ASSERT_TRUE(program.StartAndSettleInTheTray());
    MakeQuarantinedFile();

    std::string uninstallString;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", &uninstallString));
    ProcessGroup uninstall;
    ASSERT_TRUE(uninstall.Start(uninstallString));
    const std::string title = ui::LoadString(IDS_UNINSTALL_TITLE);
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = FindWindowA(nullptr, title.c_str())) && IsWindowVisible(window); },
                        kLongWaitMs))
        << "windows on the screen: " << VisibleWindowTitles();
    EXPECT_EQ("Vantorix Uninstall", WindowText(window));
    vxtest::SaveScreenshot(window, "uninstall_window");
    // The program sees it: its notice, answered, and it ends.
    EXPECT_EQ(IDOK, AnswerMessageBox(program.Pid(), ui::LoadString(IDS_UNINSTALL_QUIT), IDOK));
    EXPECT_TRUE(program.HasEnded(kLongWaitMs));

    // "Uninstall" on the confirmation page.
    DWORD_PTR ignored;
    SendMessageTimeoutA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    DWORD uninstallerPid = 0;
    GetWindowThreadProcessId(window, &uninstallerPid);
    int defaultButton = AnswerMessageBox(uninstallerPid, "Keep the quarantined files?", IDNO);
    EXPECT_EQ(IDYES, defaultButton) << "keeping them is the default";
    // "Finish" once the uninstaller is done.
    ASSERT_TRUE(WaitFor(
        [&] {
            HWND finish = GetDlgItem(window, IDOK);
            return finish && IsWindowEnabled(finish) && !vxtest::FileExists(InstalledFile("uninstall.exe")) &&
                   WindowText(finish) == "&Finish";
        },
        kLongWaitMs))
        << "windows on the screen: " << VisibleWindowTitles();
    vxtest::SaveScreenshot(window, "uninstall_finished");
    EXPECT_EQ("Vantorix Uninstall", WindowText(window)) << "the title stays the same on every page";
    SendMessageTimeoutA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ASSERT_TRUE(uninstall.WaitUntilAllEnded());

    ExpectEverythingInstalledIsGone();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kInstallFolder.c_str()))
        << "asked to, it removes the quarantine and the folder";
}

TEST_F(Setup, InstallingOverARunningCopyAsksItToQuitAndReplacesIt) {
    InstallSilently();
    InstalledProgram program;
    ASSERT_TRUE(program.StartAndSettleInTheTray());
    // Mark the installed copy as old, to see it replaced.
    {
        ui::ScopedFile file(CreateFileA(InstalledFile("Vantorix.exe").c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.Valid());
        SYSTEMTIME old = {2001, 1, 0, 1, 12, 0, 0, 0};
        FILETIME oldTime;
        SystemTimeToFileTime(&old, &oldTime);
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &oldTime));
    }

    ProcessGroup setup;
    ASSERT_TRUE(setup.Start("\"" + SetupPath() + "\" /S /D=" + kInstallFolder));
    EXPECT_EQ(IDOK, AnswerMessageBox(program.Pid(), ui::LoadString(IDS_UNINSTALL_QUIT), IDOK))
        << "the running copy was not asked to quit";
    EXPECT_TRUE(program.HasEnded(kLongWaitMs));
    ASSERT_TRUE(setup.WaitUntilAllEnded());
    EXPECT_EQ(0u, setup.ExitCode());

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExA(InstalledFile("Vantorix.exe").c_str(), GetFileExInfoStandard, &data));
    SYSTEMTIME written;
    FileTimeToSystemTime(&data.ftLastWriteTime, &written);
    EXPECT_GT(written.wYear, 2001) << "the running copy was not replaced";
    EXPECT_EQ(FileBytes(BuildFolder() + "Vantorix.exe"), FileBytes(InstalledFile("Vantorix.exe")));
}

TEST_F(Setup, InteractiveSetupOffersToStartTheProgramAtItsEnd) {
    ProcessGroup setup;
    ASSERT_TRUE(setup.Start("\"" + SetupPath() + "\" /D=" + kInstallFolder));
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = FindWindowA(nullptr, "Vantorix Setup")) && IsWindowVisible(window); },
                        kLongWaitMs))
        << "windows on the screen: " << VisibleWindowTitles();
    // The folder page, with the folder of /D=; "Install" starts.
    EXPECT_TRUE(WaitFor([&] { return FindControl(window, kInstallFolder) != nullptr; }, kLongWaitMs));
    DWORD_PTR ignored;
    SendMessageTimeoutA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    HWND start = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (start = FindControl(window, "Start Vantorix now")) && IsWindowVisible(start); },
                        kLongWaitMs));
    EXPECT_EQ(BST_CHECKED, SendMessageA(start, BM_GETCHECK, 0, 0)) << "starting it is offered, and ticked";
    vxtest::SaveScreenshot(window, "setup_finished");
    EXPECT_TRUE(vxtest::FileExists(InstalledFile("Vantorix.exe")));
    SendMessageTimeoutA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ASSERT_TRUE(setup.WaitForCommand());
    EXPECT_EQ(0u, setup.ExitCode());

    // Its first start asks about autorun before its main window exists.
    InstalledProgram program;
    std::string question = ui::LoadString(IDS_ASK_DISABLE_AUTORUN);
    ASSERT_TRUE(WaitFor(
        [&] {
            if (FindMessageBox(0, question)) AnswerMessageBox(0, question, IDCANCEL, 0);
            return program.Find();
        },
        kLongWaitMs))
        << "setup did not start the program";
    EXPECT_TRUE(program.SettlesInTheTray());
}

TEST_F(Setup, TheLogonTaskStartsTheProgramAtAnyUsersLogonWithTheHighestRightsAndGoesWithTheUninstall) {
    RecordedSchtasks schtasks;
    ASSERT_TRUE(schtasks.Ready());
    InstallSilently();
    EXPECT_NE(std::string::npos, schtasks.CommandLine().find("/Create /TN \"Vantorix\" /XML "))
        << schtasks.CommandLine();
    EXPECT_NE(std::string::npos, schtasks.CommandLine().find(" /F")) << "an older task is replaced";
    std::string task = schtasks.TaskXml();
    for (const std::string& part : {
             std::string("<LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n    </LogonTrigger>"),
             std::string("<GroupId>S-1-5-32-545</GroupId>"),  // every member of Users, at their own log-on
             std::string("<RunLevel>HighestAvailable</RunLevel>"),
             std::string("<Command>") + InstalledFile("Vantorix.exe") + "</Command>",
             std::string("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"),
         })
        EXPECT_NE(std::string::npos, task.find(part)) << part << " is missing from\n" << task;
    EXPECT_EQ(std::string::npos, task.find("<UserId>")) << "not one user's log-on only";

    schtasks.Forget();
    std::string quiet;
    ASSERT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &quiet));
    EXPECT_EQ(0u, RunToEnd(quiet));
    EXPECT_NE(std::string::npos, schtasks.CommandLine().find("/Delete /TN \"Vantorix\" /F")) << schtasks.CommandLine();
}

}  // namespace
