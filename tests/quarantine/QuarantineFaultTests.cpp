// A disk cannot be made to fail on demand under Wine, and root ignores
// read-only folders, so these tests swap the store's file calls for ones that
// fail from a chosen call on, as a failing disk keeps failing.
#include <gtest/gtest.h>
#include <windows.h>

#include "quarantine/QuarantineIo.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

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

bool Fails(Step step) {
    int call = ++g_calls[step];
    return step == g_fault.step && call >= g_fault.fromCall;
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

    void Arm(const Fault& fault) {
        g_fault = fault;
        for (int& calls : g_calls) calls = 0;
        g_quarantineIo = {FailingCreateFile, FailingReadFile, FailingWriteFile, FailingFlushFileBuffers, 100};
    }
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
        EXPECT_TRUE(QuarantinedFiles().empty());

        Arm(fault);
        EXPECT_FALSE(QuarantineAndDelete(ORIGIN));
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
    const std::string desktopCopy = DesktopFolder() + "\\data.bin";
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        Arm(fault);
        EXPECT_EQ(fault.result, CopyQuarantineFile(ORIGIN, QUARANTINED, FALSE));
        EXPECT_FALSE(FileExists(ORIGIN));

        // Neither the origin nor the desktop fallback may keep a partial file.
        Arm(fault);
        EXPECT_EQ(RESTORE_FAILED, RestoreQuarantinedFile(QUARANTINED));
        EXPECT_FALSE(FileExists(ORIGIN));
        EXPECT_FALSE(FileExists(desktopCopy));
        EXPECT_EQ(image, ReadFile(QUARANTINED));
    }
}

}  // namespace
