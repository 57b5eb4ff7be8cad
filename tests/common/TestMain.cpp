#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "tests/common/MainMarker.h"
#include "tests/common/TestSupport.h"
#include "ui/MessageBox.h"

#include <cstdio>
#include <deque>
#include <mutex>

namespace vxtest {

namespace {

struct Expected {
    std::string text;
    int answer;
};

std::mutex g_lock;
std::deque<Expected> g_expected;
std::vector<ShownMessage> g_shown;

int Respond(const std::string& text, UINT type) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_shown.push_back({text, type});
    if (g_expected.empty()) {
        ADD_FAILURE() << "unexpected message box: \"" << text << "\"";
        return IDCANCEL;
    }
    Expected next = g_expected.front();
    g_expected.pop_front();
    EXPECT_EQ(next.text, text) << "message boxes came in another order or with another text";
    // A box with only OK can only be answered OK.
    if ((type & MB_TYPEMASK) == MB_OK) return IDOK;
    return next.answer;
}

// Every test starts with no expected boxes and must have seen all it expected.
class MessageBoxChecker : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        std::lock_guard<std::mutex> hold(g_lock);
        g_expected.clear();
        g_shown.clear();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard<std::mutex> hold(g_lock);
        for (const Expected& e : g_expected)
            ADD_FAILURE() << "expected message box never shown: \"" << e.text << "\"";
        g_expected.clear();
    }
};

}  // namespace

void ExpectMessage(const std::string& text, int answer) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_expected.push_back({text, answer});
}

std::vector<ShownMessage> ShownMessages() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_shown;
}

}  // namespace vxtest

namespace {

// A crash would otherwise end the run with no word of where it happened.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    fprintf(stderr, "crash: exception 0x%08lX at %p in %s.%s\n",
            static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
            info->ExceptionRecord->ExceptionAddress,
            test ? test->test_suite_name() : "(no test)", test ? test->name() : "");
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int main(int argc, char** argv) {
    // First, before anything that could crash: scripts/wine-exec tells a
    // program that never reached main() from one that failed by this line.
    fputs(VX_MAIN_MARKER "\n", stdout);
    fflush(stdout);
    // Unbuffered, so that what a test printed survives a crash; the first
    // line comes before any test runs.
    setvbuf(stdout, nullptr, _IONBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
    SetUnhandledExceptionFilter(ReportCrash);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    // Never let Windows show its own error boxes for a missing disk or a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new vxtest::MessageBoxChecker);
    ui::SetMessageResponder(vxtest::Respond);
    return RUN_ALL_TESTS();
}
