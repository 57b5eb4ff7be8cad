// Shared helpers for the tests that run under Wine in the sandbox.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vxtest {

// Message boxes are answered by the test: each expected box is listed in
// order with its answer. A box that was not expected fails the test and is
// answered Cancel; an expected box that never came fails it at its end.
struct ShownMessage {
    std::string text;
    UINT type;
};
void ExpectMessage(const std::string& text, int answer = IDOK);
std::vector<ShownMessage> ShownMessages();  // every box of the current test

// Runs the message loop of this thread until `done` holds or `timeoutMs`
// passes; returns whether `done` held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
void PumpFor(DWORD ms);

// Runs `startModal` (which enters a modal loop, e.g. dialog.DoModal()) and,
// once its loop runs, `script` inside it. The script must end the loop; a
// loop still running after `timeoutMs` fails the test and is ended.
void RunInsideModalLoop(const std::function<void()>& startModal, const std::function<void()>& script,
                        DWORD timeoutMs = 30000);

// While alive, a modal loop of this thread that runs longer than
// `timeoutMs` fails the test and is ended (with WM_QUIT, which the
// framework's modal loop leaves by); no test waits for ever.
class ModalTimeout {
public:
    explicit ModalTimeout(DWORD timeoutMs = 30000);
    ~ModalTimeout();
    ModalTimeout(const ModalTimeout&) = delete;
    ModalTimeout& operator=(const ModalTimeout&) = delete;

private:
    UINT_PTR m_timer;
};

// Saves a PNG of the window as it is on the screen into the build tree's
// screenshots folder and returns its Windows path ("" on failure).
std::string SaveScreenshot(HWND window, const std::string& name);

// The header of a 32-bit, top-down bitmap: rows come top row first.
BITMAPINFO TopDown32BitInfo(int width, int height);

// A drive's root ("E:\\") and the helpers to lay out fixtures on it.
std::string WriteFile(const std::string& path, const std::string& content);
// `share`: what others holding the file may do meanwhile; FILE_SHARE_WRITE
// reads a file that other programs are still appending to.
std::string ReadFile(const std::string& path, DWORD share = FILE_SHARE_READ);
bool FileExists(const std::string& path);
// The full paths of the entries of `folder` (ending in a backslash) that
// match `pattern`, sorted; "." and ".." left out.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern = "*");

// Deletes everything below `folder` (not the folder itself), whatever the
// attributes. Used to reset a sandbox drive between tests. Only the
// sandbox's test folders can be emptied: the test drives E: F: G:, the
// quarantine folder beside the test executable, the sandbox's desktop, an
// AUTORUN.INF folder in a drive root, and the folders of the prefix's own C:
// drive but its root and the Windows folder.
// An empty, relative or root path or any other folder fails the test and
// deletes nothing. Links to folders are never followed.
bool EmptyFolder(const std::string& folder);
// Whether EmptyFolder would touch `folder`.
bool IsSandboxTestFolder(const std::string& folder);

// While alive, the drive letter's DOS device is gone, or points at
// `rawTarget` (an NT device path); then its own device is put back. A
// letter pointing at a device that does not exist keeps its drive type but
// its volume cannot be opened.
class DosDeviceOverride {
public:
    explicit DosDeviceOverride(char letter, const char* rawTarget = nullptr);
    ~DosDeviceOverride();
    DosDeviceOverride(const DosDeviceOverride&) = delete;
    DosDeviceOverride& operator=(const DosDeviceOverride&) = delete;

private:
    char m_name[3];
    std::string m_original;
    bool m_replaced = false;
};

// The sandbox's profile: "many" when started in the prefix where every free
// letter is a removable drive.
bool InManyDrivesSandbox();

// ---- pointer, keyboard and GDI helpers (controls, Information page)

// Real mouse input, which the system routes by what is on the screen.
void SendMouse(DWORD flags, POINT screenPoint);
// Moves the pointer to `screenPoint` until `arrived` holds; fails the test
// (naming what is under the point) when it never does.
bool MoveMouseUntil(POINT screenPoint, const std::function<bool()>& arrived, DWORD timeoutMs = 5000);
POINT ScreenPoint(HWND window, int x, int y);
POINT CentreOf(HWND window);
// The GDI objects the process holds, or -1 when they cannot be counted.
int GdiObjectCount();

// A real key press and release, which the system delivers to the window
// with the keyboard focus.
void PressKey(WORD virtualKey);
// The lines a program wrote to the text file `path`, once `count` of them
// are there (or after `timeoutMs`, with what there is).
std::vector<std::string> ReadLinesWhenThere(const std::string& path, size_t count, DWORD timeoutMs = 10000);
// The text of tool 1 of `owner` in the tooltip control `tip`.
std::string ToolTipText(HWND tip, HWND owner);
// Whether the notification-area icon of `window` is there.
bool TrayIconPresent(HWND window);
}  // namespace vxtest

// ---- Safe removal's guards, installed for every test from the start:
// the session never ends for real, and the shell that is the bench's own
// desktop and taskbar is never ended (Wine could not bring it back); every
// other program named explorer.exe is ended for real.
namespace vxtest {

// The process that owns the taskbar, 0 when there is none.
DWORD BenchShellProcessId();

// What the guards saw since the start of the test run.
struct GuardRecord {
    int sessionExits = 0;       // ExitWindowsEx calls refused
    int benchShellSpared = 0;   // ends of the bench's shell refused
};
GuardRecord GuardsSeen();

// ---- a slow quarantine

// While alive, every write of the quarantine store waits until Release (at
// most 10 s): a large file on its way to the quarantine from a slow stick.
// The real calls are put back at the end.
class SlowQuarantineWrites {
public:
    SlowQuarantineWrites();
    ~SlowQuarantineWrites();
    SlowQuarantineWrites(const SlowQuarantineWrites&) = delete;
    SlowQuarantineWrites& operator=(const SlowQuarantineWrites&) = delete;

    // Pumps this thread's messages until a write waits (at most 5 s).
    bool WaitUntilWriting();
    // Lets every write through from now on (any thread).
    void Release();

private:
    static BOOL WINAPI Write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
    HANDLE m_writing;
    HANDLE m_released;
};

// Image buttons and links make their tooltip window when the mouse first comes. This
// lets the message filter see one mouse move over `control`, as the message
// loop would, and returns the control's tooltip window made by it.
HWND LetMouseReach(HWND control);

}  // namespace vxtest

// ---- the OS family

#include "usb/SystemSeams.h"

namespace vxtest {

// While alive, the OS version reports `platformId` (or fails when `succeeds`
// is false). Checks the size field the caller set.
class PlatformStandIn {
public:
    explicit PlatformStandIn(DWORD platformId, bool succeeds = true);
    ~PlatformStandIn();
    PlatformStandIn(const PlatformStandIn&) = delete;
    PlatformStandIn& operator=(const PlatformStandIn&) = delete;

private:
    OsVersionQuery m_replaced;
};

}  // namespace vxtest

// ---- list views

namespace vxtest {

// The title of the list view's column `column`; empty when there is none.
std::string ColumnTitle(HWND list, int column);

}  // namespace vxtest
