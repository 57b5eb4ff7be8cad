#include "tests/quarantine/QuarantineTestSupport.h"

#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

namespace qtest {

std::string AllByteValues(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(0xFF - (i & 0xFF));
    return bytes;
}

std::string QuarantinedImage(const std::string& origin, const std::string& content) {
    std::string image = "Brisquandel" + origin + "\r\n";
    for (char c : content) image.push_back(static_cast<char>(static_cast<BYTE>(c) + QUARANTINE_SHIFT));
    return image;
}

void PutFile(const std::string& path, const std::string& content) {
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    ASSERT_EQ("", vxtest::WriteFile(path, content));
}

std::vector<std::string> QuarantinedFiles() {
    return vxtest::ListFolder(QUARANTINE_FOLDER);
}

std::string DesktopFolder() {
    char desktop[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    return desktop;
}

void QuarantineTest::SetUp() { Clean(); }

void QuarantineTest::TearDown() {
    g_quarantineIo = DefaultQuarantineIo();
    Clean();
}

void QuarantineTest::Clean() {
    for (const char* drive : {"E:\\", "F:\\", "G:\\"}) vxtest::EmptyFolder(drive);
    vxtest::EmptyFolder(DesktopFolder());
    vxtest::EmptyFolder(QUARANTINE_FOLDER);
    RemoveDirectoryA("W:\\quarantine");
    DeleteFileA("W:\\quarantine");
}

MessageWatch::MessageWatch(HWND window, Observer observer) : m_window(window), m_observer(std::move(observer)) {
    SetWindowSubclass(m_window, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

MessageWatch::~MessageWatch() {
    RemoveWindowSubclass(m_window, Proc, 0);
}

LRESULT CALLBACK MessageWatch::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    LRESULT result = DefSubclassProc(window, msg, wParam, lParam);
    reinterpret_cast<MessageWatch*>(self)->m_observer(msg, wParam, lParam);
    return result;
}

}  // namespace qtest
