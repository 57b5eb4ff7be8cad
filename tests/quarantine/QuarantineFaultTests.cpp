// A disk cannot be made to fail on demand under Wine, and root ignores
// read-only folders, so these tests swap the store's file calls for ones that
// fail from a chosen call on, as a failing disk keeps failing.
#include <gtest/gtest.h>
#include <windows.h>

#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

#include <cstring>
#include <string>

using qtest::AllByteValues;
using qtest::DesktopFolder;
using qtest::PutFile;
using qtest::QuarantinedFiles;
using qtest::QuarantinedImage;
using vxtest::FileExists;
using vxtest::ReadFile;

namespace {

enum Step { OPEN, READ, WRITE, FLUSH, STEP_COUNT };

struct Fault {
    const char* what;
    Step step;
    int fromCall;     // 1 for the first call of that step
    bool shortWrite;  // the write reports success for half the bytes: a full disk
    int result;       // of CopyQuarantineFile
};

Fault g_fault;
int g_calls[STEP_COUNT];
// The first call that was made to fail: its step and its number.
int g_firstFailedStep;
int g_firstFailedCall;

bool Fails(Step step) {
    int call = ++g_calls[step];
    bool fails = step == g_fault.step && call >= g_fault.fromCall;
    if (fails && g_firstFailedCall == 0) {
        g_firstFailedStep = step;
        g_firstFailedCall = call;
    }
    return fails;
}

HANDLE WINAPI FailingCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (Fails(OPEN)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI FailingReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
    if (Fails(READ)) {
        *got = 0;
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return ReadFile(file, buffer, size, got, overlapped);
}

BOOL WINAPI FailingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    if (Fails(WRITE)) {
        if (g_fault.shortWrite) return WriteFile(file, data, size / 2, written, overlapped);
        *written = 0;
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return WriteFile(file, data, size, written, overlapped);
}

BOOL WINAPI FailingFlushFileBuffers(HANDLE file) {
    if (Fails(FLUSH)) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return FlushFileBuffers(file);
}

const char* ORIGIN = "E:\\f\\data.bin";
const char* QUARANTINED = "W:\\quarantine\\data.bin.bq";

// 1000 bytes in chunks of 100: ten reads and writes of content, so that the
// fifth is in the middle.
class QuarantineFaults : public qtest::QuarantineTest {
protected:
    const std::string m_content = AllByteValues(1000);

    // `callsBefore`: the calls of the fault's step that the operation makes
    // before the copy (a restore first opens the quarantined file and reads
    // its header to learn the origin), so that the copy's own call fails.
    void Arm(const Fault& fault, int callsBefore = 0) {
        g_fault = fault;
        g_fault.fromCall += callsBefore;
        for (int& calls : g_calls) calls = 0;
        g_firstFailedStep = g_firstFailedCall = 0;
        g_quarantineIo = {FailingCreateFile, FailingReadFile, FailingWriteFile, FailingFlushFileBuffers, 100};
    }
    // The calls of `step` that reading the origin from the header makes.
    int HeaderCalls(Step step) {
        Arm({"nothing fails", STEP_COUNT, 1, false, 0});
        char origin[MAX_PATH];
        EXPECT_TRUE(ReadQuarantineOrigin(QUARANTINED, origin));
        return g_calls[step];
    }
    void ExpectNamedStepFailed() {
        EXPECT_EQ(g_fault.step, g_firstFailedStep) << "another step failed first";
        EXPECT_EQ(g_fault.fromCall, g_firstFailedCall) << "the named call was never made, or another failed first";
    }
};

// The shell's desktop opens every new file there for a moment to read its
// icon, and a file it holds cannot be deleted at that moment: whether a
// discarded partial file stays would depend on that race. While alive, the
// user's desktop folder is one that nothing watches (the user's shell
// folders say where it is), on the fixed test drive.
class UnwatchedDesktop {
public:
    UnwatchedDesktop() {
        CreateDirectoryA(kFolder, nullptr);
        for (const char* key : {kUserShellFolders, kShellFolders}) Swap(key, kFolder);
    }
    ~UnwatchedDesktop() {
        for (int i = 0; i < 2; ++i) Restore(i == 0 ? kUserShellFolders : kShellFolders, m_saved[i], m_had[i]);
        vxtest::EmptyFolder(kFolder);
        RemoveDirectoryA(kFolder);
    }
    UnwatchedDesktop(const UnwatchedDesktop&) = delete;
    UnwatchedDesktop& operator=(const UnwatchedDesktop&) = delete;

    static constexpr const char* kFolder = "G:\\unwatched-desktop";

private:
    static constexpr const char* kUserShellFolders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

    void Swap(const char* key, const char* folder) {
        int i = key == kUserShellFolders ? 0 : 1;
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return;
        char value[MAX_PATH] = {};
        DWORD size = sizeof value - 1;
        m_had[i] = RegQueryValueExA(handle, "Desktop", nullptr, &m_type[i], reinterpret_cast<BYTE*>(value), &size) ==
                   ERROR_SUCCESS;
        m_saved[i] = value;
        RegSetValueExA(handle, "Desktop", 0, i == 0 ? REG_EXPAND_SZ : REG_SZ, reinterpret_cast<const BYTE*>(folder),
                       static_cast<DWORD>(strlen(folder) + 1));
        RegCloseKey(handle);
    }
    void Restore(const char* key, const std::string& value, bool had) {
        int i = key == kUserShellFolders ? 0 : 1;
        HKEY handle;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
        if (had)
            RegSetValueExA(handle, "Desktop", 0, m_type[i], reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
        else
            RegDeleteValueA(handle, "Desktop");
        RegCloseKey(handle);
    }

    std::string m_saved[2];
    bool m_had[2] = {};
    DWORD m_type[2] = {REG_EXPAND_SZ, REG_SZ};
};

TEST_F(QuarantineFaults, FailedStoreKeepsTheFileAndLeavesNoCopy) {
    const Fault faults[] = {
        {"open of the file", OPEN, 1, false, QCOPY_PLAIN_SIDE_FAILED},
        {"creation of the copy", OPEN, 2, false, QCOPY_QUARANTINE_SIDE_FAILED},
        {"first read", READ, 1, false, QCOPY_PLAIN_SIDE_FAILED},
        {"middle read", READ, 5, false, QCOPY_PLAIN_SIDE_FAILED},
        {"header write", WRITE, 1, false, QCOPY_QUARANTINE_SIDE_FAILED},
        {"middle write", WRITE, 5, false, QCOPY_QUARANTINE_SIDE_FAILED},
        {"short middle write", WRITE, 5, true, QCOPY_QUARANTINE_SIDE_FAILED},
        {"flush", FLUSH, 1, false, QCOPY_QUARANTINE_SIDE_FAILED},
    };
    char folder[256];
    ASSERT_TRUE(GetQuarantineFolder(folder));
    PutFile(ORIGIN, m_content);
    ASSERT_TRUE(SetFileAttributesA(ORIGIN, FILE_ATTRIBUTE_HIDDEN));
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        Arm(fault);
        EXPECT_EQ(fault.result, CopyQuarantineFile(ORIGIN, QUARANTINED, TRUE));
        ExpectNamedStepFailed();
        EXPECT_TRUE(QuarantinedFiles().empty());

        Arm(fault);
        EXPECT_FALSE(QuarantineAndDelete(ORIGIN));
        ExpectNamedStepFailed();
        EXPECT_TRUE(QuarantinedFiles().empty());
        EXPECT_EQ(m_content, ReadFile(ORIGIN));
        EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesA(ORIGIN) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    }
}

TEST_F(QuarantineFaults, FailedRestoreKeepsTheCopyAndLeavesNoPartialFile) {
    const Fault faults[] = {
        {"open of the copy", OPEN, 1, false, QCOPY_QUARANTINE_SIDE_FAILED},
        {"creation of the file", OPEN, 2, false, QCOPY_PLAIN_SIDE_FAILED},
        {"first read", READ, 1, false, QCOPY_NOT_QUARANTINED},
        {"middle read", READ, 5, false, QCOPY_QUARANTINE_SIDE_FAILED},
        {"middle write", WRITE, 3, false, QCOPY_PLAIN_SIDE_FAILED},
        {"short middle write", WRITE, 3, true, QCOPY_PLAIN_SIDE_FAILED},
        {"flush", FLUSH, 1, false, QCOPY_PLAIN_SIDE_FAILED},
    };
    PutFile(ORIGIN, m_content);
    ASSERT_TRUE(QuarantineAndDelete(ORIGIN));
    const std::string image = QuarantinedImage(ORIGIN, m_content);
    ASSERT_EQ(image, ReadFile(QUARANTINED));
    UnwatchedDesktop desktop;
    ASSERT_EQ(std::string(UnwatchedDesktop::kFolder), DesktopFolder()) << "the desktop could not be moved";
    const std::string desktopCopy = DesktopFolder() + "\\data.bin";
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        Arm(fault);
        EXPECT_EQ(fault.result, CopyQuarantineFile(ORIGIN, QUARANTINED, FALSE));
        ExpectNamedStepFailed();
        EXPECT_FALSE(FileExists(ORIGIN));

        // Neither the origin nor the desktop fallback may keep a partial file.
        Arm(fault, HeaderCalls(fault.step));
        EXPECT_EQ(RESTORE_FAILED, RestoreQuarantinedFile(QUARANTINED));
        ExpectNamedStepFailed();
        EXPECT_FALSE(FileExists(ORIGIN));
        EXPECT_FALSE(FileExists(desktopCopy)) << "a partial file stayed on the desktop";
        EXPECT_EQ(image, ReadFile(QUARANTINED));
    }
}

}  // namespace
