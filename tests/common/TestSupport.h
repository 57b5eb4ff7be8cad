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
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// The full paths of the entries of `folder` (ending in a backslash) that
// match `pattern`, sorted; "." and ".." left out.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern = "*");

// Deletes everything below `folder` (not the folder itself), whatever the
// attributes. Used to reset a sandbox drive between tests. Only the
// sandbox's test folders can be emptied: the test drives E: F: G:, the
// quarantine folder beside the test executable and the sandbox's desktop.
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

}  // namespace vxtest
