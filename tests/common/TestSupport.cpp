#include "tests/common/TestSupport.h"

#include "controls/HyperlinkLabel.h"
#include "controls/ImageButton.h"
#include "ui/Window.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "quarantine/QuarantineIo.h"
#include "ui/Window.h"
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <winternl.h>
#include <commctrl.h>

#include "app/TrayIcon.h"

namespace vxtest {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // As the program's own loops do: filters and dialog keys first.
            if (ui::Window::FilterMessage(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

namespace {

std::function<void()> g_modalScript;

void CALLBACK RunModalScript(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::function<void()> script = std::move(g_modalScript);
    g_modalScript = nullptr;
    if (script) script();
}

void CALLBACK EndOverdueModalLoop(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    ADD_FAILURE() << "a modal loop was still running at its time-out; it is ended";
    PostQuitMessage(1);
}

}  // namespace

ModalTimeout::ModalTimeout(DWORD timeoutMs) : m_timer(SetTimer(nullptr, 0, timeoutMs, EndOverdueModalLoop)) {}

ModalTimeout::~ModalTimeout() {
    KillTimer(nullptr, m_timer);
    // The quit that ended an overdue loop must not end the next one.
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

void RunInsideModalLoop(const std::function<void()>& startModal, const std::function<void()>& script,
                        DWORD timeoutMs) {
    ModalTimeout timeout(timeoutMs);
    g_modalScript = script;
    // A thread timer fires in whichever message loop runs on this thread.
    UINT_PTR start = SetTimer(nullptr, 0, 10, RunModalScript);
    startModal();
    KillTimer(nullptr, start);
    g_modalScript = nullptr;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBigEndian(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    PutBigEndian(png, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

// A PNG with stored (uncompressed) deflate blocks: larger than needed, but
// needs no library and any viewer reads it.
std::string EncodePng(const std::vector<uint8_t>& rgb, int width, int height) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        raw.append(reinterpret_cast<const char*>(&rgb[static_cast<size_t>(y) * width * 3]),
                   static_cast<size_t>(width) * 3);
    }
    std::string zlib = "\x78\x01";
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        bool last = pos + n == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<char>(n & 0xFF));
        zlib.push_back(static_cast<char>(n >> 8));
        zlib.push_back(static_cast<char>(~n & 0xFF));
        zlib.push_back(static_cast<char>((~n >> 8) & 0xFF));
        zlib.append(raw, pos, n);
        pos += n;
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(zlib, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", "");
    return png;
}

}  // namespace

BITMAPINFO TopDown32BitInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

std::string SaveScreenshot(HWND window, const std::string& name) {
    // Everything painted as a person would see it, children included.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    PumpFor(150);
    RECT r;
    if (!GetWindowRect(window, &r)) return "";
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return "";
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = TopDown32BitInfo(width, height);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[i * 3] = src[i * 4 + 2];
        rgb[i * 3 + 1] = src[i * 4 + 1];
        rgb[i * 3 + 2] = src[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    CreateDirectoryA("W:\\screenshots", nullptr);
    std::string path = "W:\\screenshots\\" + name + ".png";
    std::string png = EncodePng(rgb, width, height);
    return WriteFile(path, png).empty() ? path : "";
}

namespace {

// The desktop shows its files as icons and briefly opens each new one to
// read its icon, as Explorer does; a test's own file access waits that out.
template <typename Attempt>
bool RetryWhileShared(Attempt attempt) {
    for (int tries = 0;; ++tries) {
        if (attempt()) return true;
        if (GetLastError() != ERROR_SHARING_VIOLATION || tries >= 100) return false;
        Sleep(20);
    }
}

}  // namespace

std::string WriteFile(const std::string& path, const std::string& content) {
    HANDLE h = INVALID_HANDLE_VALUE;
    RetryWhileShared([&] {
        h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return h != INVALID_HANDLE_VALUE;
    });
    if (h == INVALID_HANDLE_VALUE) return "cannot create " + path + ": error " + std::to_string(GetLastError());
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == content.size() ? "" : "cannot write " + path;
}

std::string ReadFile(const std::string& path, DWORD share) {
    HANDLE h = INVALID_HANDLE_VALUE;
    RetryWhileShared([&] {
        h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        return h != INVALID_HANDLE_VALUE;
    });
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    CloseHandle(h);
    return content;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return paths;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") paths.push_back(folder + name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(paths.begin(), paths.end());
    return paths;
}

namespace {

// The full, normalised form of an absolute path ("X:\\..."), with a
// trailing backslash; "" for anything else.
std::string FullFolderPath(const std::string& folder) {
    if (folder.size() < 3 || !isalpha(static_cast<unsigned char>(folder[0])) || folder[1] != ':' ||
        folder[2] != '\\')
        return "";
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return "";
    std::string path(full, length);
    if (path.back() != '\\') path += '\\';
    CharUpperBuffA(&path[0], static_cast<DWORD>(path.size()));
    return path;
}

bool IsWithin(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.compare(0, folder.size(), folder) == 0;
}

void EmptyCheckedFolder(const std::string& base) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = base + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link: removed itself, its target never entered.
            if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyCheckedFolder(path + "\\");
            RemoveDirectoryA(path.c_str());
        } else {
            RetryWhileShared([&] { return DeleteFileA(path.c_str()) != FALSE; });
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

}  // namespace

bool IsSandboxTestFolder(const std::string& folder) {
    std::string path = FullFolderPath(folder);
    if (path.empty()) return false;
    // Only inside the sandbox: its drives and desktop are throw-away folders.
    if (!getenv("VX_SANDBOX")) return false;
    for (const char* drive : {"E:\\", "F:\\", "G:\\"})
        if (IsWithin(path, drive)) return true;
    if (path.size() <= 3) return false;  // any other root
    // The immunity folder in any drive root: the tests make and undo it.
    if (path.compare(1, std::string::npos, ":\\AUTORUN.INF\\") == 0) return true;
    // The prefix's C: drive is made anew for every run: a test's own folders
    // there may go, but never the Windows folder that the prefix runs on.
    if (path.compare(0, 3, "C:\\") == 0) {
        char windows[MAX_PATH] = {};
        UINT length = GetWindowsDirectoryA(windows, sizeof windows);
        std::string windowsPath = length > 0 && length < sizeof windows ? FullFolderPath(windows) : "";
        return !windowsPath.empty() && !IsWithin(path, windowsPath);
    }
    char module[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    if (length > 0 && length < sizeof module) {
        std::string quarantine = FullFolderPath(std::string(module, strrchr(module, '\\') + 1) + "quarantine");
        if (IsWithin(path, quarantine)) return true;
    }
    char desktop[MAX_PATH] = {};
    if (SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE)) {
        std::string desktopPath = FullFolderPath(desktop);
        if (desktopPath.size() > 3 && IsWithin(path, desktopPath)) return true;
    }
    return false;
}

bool EmptyFolder(const std::string& folder) {
    if (!IsSandboxTestFolder(folder)) {
        ADD_FAILURE() << "EmptyFolder refuses \"" << folder << "\": not one of the sandbox's test folders";
        return false;
    }
    EmptyCheckedFolder(FullFolderPath(folder));
    return true;
}

DosDeviceOverride::DosDeviceOverride(char letter, const char* rawTarget) : m_name{letter, ':', 0} {
    char target[MAX_PATH] = {};
    if (!QueryDosDeviceA(m_name, target, sizeof target)) {
        ADD_FAILURE() << m_name << " has no DOS device to override";
        return;
    }
    m_original = target;
    if (!DefineDosDeviceA(DDD_REMOVE_DEFINITION, m_name, nullptr)) {
        ADD_FAILURE() << "cannot remove " << m_name;
        return;
    }
    m_replaced = true;
    if (rawTarget && !DefineDosDeviceA(DDD_RAW_TARGET_PATH, m_name, rawTarget))
        ADD_FAILURE() << "cannot point " << m_name << " at " << rawTarget;
}

DosDeviceOverride::~DosDeviceOverride() {
    if (!m_replaced) return;
    char target[MAX_PATH];
    if (QueryDosDeviceA(m_name, target, sizeof target)) DefineDosDeviceA(DDD_REMOVE_DEFINITION, m_name, nullptr);
    EXPECT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, m_name, m_original.c_str()))
        << "could not give " << m_name << " back its device " << m_original;
}

bool InManyDrivesSandbox() {
    const char* profile = getenv("VX_PREFIX_PROFILE");
    return profile && strcmp(profile, "many") == 0;
}

// ---- pointer, keyboard and GDI helpers (controls, Information page)

// Real mouse input, which the system routes by what is on the screen.
void SendMouse(DWORD flags, POINT screenPoint) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    // Rounded up, so that the system's scaling back lands on this very pixel.
    input.mi.dx = (screenPoint.x * 65536 + cx - 1) / cx;
    input.mi.dy = (screenPoint.y * 65536 + cy - 1) / cy;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer to `screenPoint` until `arrived` holds. The move is sent
// again now and then: under load, a late motion event of the display can put
// the pointer back where it was.
bool MoveMouseUntil(POINT screenPoint, const std::function<bool()>& arrived, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        SendMouse(0, screenPoint);
        if (vxtest::PumpUntil(arrived, 250)) return true;
    } while (GetTickCount() - start < timeoutMs);
    POINT cursor;
    GetCursorPos(&cursor);
    HWND under = WindowFromPoint(screenPoint);
    char cls[64] = "";
    GetClassNameA(under, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(under, &pid);
    ADD_FAILURE() << "the pointer is at " << cursor.x << "," << cursor.y << ", sent to " << screenPoint.x << ","
                  << screenPoint.y << "; there: a \"" << cls << "\" window of process " << pid << " (this is "
                  << GetCurrentProcessId() << "); capture " << GetCapture();
    return false;
}

POINT ScreenPoint(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return p;
}

POINT CentreOf(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return ScreenPoint(window, r.right / 2, r.bottom / 2);
}

// GetGuiResources is a stub in Wine 8 that always answers 0. Wine keeps the
// process's GDI handle table where Windows does, in the PEB's
// GdiSharedHandleTable: 0x10000 entries of 24 bytes, each live one with a
// non-zero type byte at offset 14. Counting those counts the GDI objects.
int GdiObjectCount() {
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    static const QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
    const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0xF8);
    int live = 0;
    for (int i = 0; i < 0x10000; ++i) live += table[i * 24 + 14] != 0 ? 1 : 0;
    return live;
}

void PressKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

std::vector<std::string> ReadLinesWhenThere(const std::string& path, size_t count, DWORD timeoutMs) {
    std::vector<std::string> lines;
    PumpUntil(
        [&] {
            lines.clear();
            std::string text = ReadFile(path);
            for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
                lines.push_back(text.substr(start, end - start));
            return lines.size() >= count;
        },
        timeoutMs);
    return lines;
}

std::string ToolTipText(HWND tip, HWND owner) {
    char text[512] = {};
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = owner;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAA probe;
    FillTrayIconData(probe, window);
    BOOL present = Shell_NotifyIconA(NIM_MODIFY, &probe);
    DestroyIcon(probe.hIcon);
    return present != FALSE;
}

}  // namespace vxtest

// ---- Safe removal's guards.

#include "usb/SystemSeams.h"

#include <atomic>

namespace vxtest {

namespace {

std::atomic<int> g_sessionExitsRefused{0};
std::atomic<int> g_benchShellSpared{0};

BOOL RefuseSessionExit(UINT flags, DWORD reason) {
    ++g_sessionExitsRefused;
    ADD_FAILURE() << "the session would have ended: ExitWindowsEx(" << flags << ", " << reason << ")";
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

BOOL SpareBenchShell(HANDLE process, DWORD processId, UINT exitCode) {
    if (processId != 0 && processId == BenchShellProcessId()) {
        ++g_benchShellSpared;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TerminateProcess(process, exitCode);
}

// Installed before main(), so that not even a test's set-up can reach them.
struct GuardInstaller {
    GuardInstaller() {
        SetSessionExitForTest(RefuseSessionExit);
        SetShellTerminationForTest(SpareBenchShell);
    }
} g_guardInstaller;

}  // namespace

DWORD BenchShellProcessId() {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD processId = 0;
    if (taskbar) GetWindowThreadProcessId(taskbar, &processId);
    return processId;
}

GuardRecord GuardsSeen() {
    GuardRecord record;
    record.sessionExits = g_sessionExitsRefused;
    record.benchShellSpared = g_benchShellSpared;
    return record;
}

// ---- a slow quarantine

namespace {
SlowQuarantineWrites* g_slowWrites = nullptr;
}

SlowQuarantineWrites::SlowQuarantineWrites()
    : m_writing(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_released(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    g_slowWrites = this;
    g_quarantineIo.writeFile = Write;
}

SlowQuarantineWrites::~SlowQuarantineWrites() {
    g_quarantineIo = DefaultQuarantineIo();
    Release();
    g_slowWrites = nullptr;
    CloseHandle(m_writing);
    CloseHandle(m_released);
}

BOOL WINAPI SlowQuarantineWrites::Write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                        LPOVERLAPPED overlapped) {
    if (SlowQuarantineWrites* slow = g_slowWrites) {
        SetEvent(slow->m_writing);
        WaitForSingleObject(slow->m_released, 10000);
    }
    return ::WriteFile(file, data, size, written, overlapped);
}

bool SlowQuarantineWrites::WaitUntilWriting() {
    return PumpUntil([&] { return WaitForSingleObject(m_writing, 0) == WAIT_OBJECT_0; });
}

void SlowQuarantineWrites::Release() {
    SetEvent(m_released);
}

// ---- a first mouse move

HWND LetMouseReach(HWND control) {
    MSG move = {};
    move.hwnd = control;
    move.message = WM_MOUSEMOVE;
    move.time = GetTickCount();
    ui::Window::FilterMessage(&move);
    ui::Window* window = ui::Window::FromHandle(control);
    if (auto* button = dynamic_cast<ImageButton*>(window)) return button->ToolTip();
    if (auto* link = dynamic_cast<HyperlinkLabel*>(window)) return link->ToolTip();
    return nullptr;
}

}  // namespace vxtest

// ---- the OS family

namespace vxtest {

namespace {

DWORD g_platformId;
bool g_versionSucceeds;

BOOL ReportPlatform(OSVERSIONINFOA* info) {
    EXPECT_EQ(148u, info->dwOSVersionInfoSize);
    if (!g_versionSucceeds) return FALSE;
    info->dwMajorVersion = g_platformId == VER_PLATFORM_WIN32_NT ? 5 : 4;
    info->dwPlatformId = g_platformId;
    return TRUE;
}

}  // namespace

PlatformStandIn::PlatformStandIn(DWORD platformId, bool succeeds) {
    g_platformId = platformId;
    g_versionSucceeds = succeeds;
    m_replaced = SetOsVersionQueryForTest(ReportPlatform);
}

PlatformStandIn::~PlatformStandIn() { SetOsVersionQueryForTest(m_replaced); }

}  // namespace vxtest

// ---- list views

namespace vxtest {

std::string ColumnTitle(HWND list, int column) {
    char title[256] = "";
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT;
    col.pszText = title;
    col.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&col))) return std::string();
    return title;
}

}  // namespace vxtest
