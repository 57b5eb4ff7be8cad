#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/common/TestSupport.h"
#include "tests/tools/RepairTestSupport.h"
#include "usb/ProcessTools.h"

namespace {

using repairtest::ExitWindowsRecorder;

const char SHUTDOWN_PRIVILEGE[] = "SeShutdownPrivilege";
const UINT SHUTDOWN_BY_FORCE = EWX_SHUTDOWN | EWX_FORCE;

class TimedShutdown : public repairtest::RepairPageTest {
protected:
    void TearDown() override {
        KillTimer(page.Hwnd(), SHUTDOWN_TIMER_ID);
        RepairPageTest::TearDown();
    }

    void Start(const std::string& minutes) {
        SetItemText(IDC_REPAIR_DELAY_MINUTES, minutes);
        Click(IDC_REPAIR_SHUTDOWN);
    }
    // One tick of the page's own timer, which Start has set for real.
    void Tick() { SendMessageA(page.Hwnd(), WM_TIMER, SHUTDOWN_TIMER_ID, 0); }
    std::string State() { return ItemText(IDC_REPAIR_SHUTDOWN_STATE); }
    std::string Remaining() { return ItemText(IDC_REPAIR_COUNTDOWN); }
    // Killing a timer that does not run fails.
    bool TimerWasRunning() { return KillTimer(page.Hwnd(), SHUTDOWN_TIMER_ID) != FALSE; }
};

TEST(RemainingTime, EachNumberBelowTenHasALeadingZero) {
    struct Case {
        unsigned hours, minutes, seconds;
        const char* text;
    } cases[] = {
        {0, 0, 0, "00:00:00"},       {5, 7, 30, "05:07:30"},     {123, 0, 0, "123:00:00"},
        {10, 10, 10, "10:10:10"},    {10, 10, 9, "10:10:09"},    {10, 9, 10, "10:09:10"},
        {10, 9, 9, "10:09:09"},      {9, 10, 10, "09:10:10"},    {9, 10, 9, "09:10:09"},
        {9, 9, 59, "09:09:59"},      {1666, 40, 0, "1666:40:00"}, {71582788, 15, 0, "71582788:15:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, FormatRemainingTime(c.hours, c.minutes, c.seconds)) << c.hours << " " << c.minutes;
}

TEST_F(TimedShutdown, TheEntryTakesDigitsOnlyUpToItsLimitAndStartsAt100000Minutes) {
    HWND entry = page.Item(IDC_REPAIR_DELAY_MINUTES);
    EXPECT_EQ("100000", ItemText(IDC_REPAIR_DELAY_MINUTES));
    EXPECT_TRUE(GetWindowLongA(entry, GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(static_cast<LRESULT>(SHUTDOWN_DELAY_DIGITS), SendMessageA(entry, EM_GETLIMITTEXT, 0, 0));
    auto type = [&](const char* keys) {
        for (const char* key = keys; *key; ++key) SendMessageA(entry, WM_CHAR, static_cast<WPARAM>(*key), 1);
    };
    SendMessageA(entry, EM_SETSEL, 0, -1);
    type("x-4 2.");
    EXPECT_EQ("42", ItemText(IDC_REPAIR_DELAY_MINUTES)) << "digits only";
    type("123456");
    EXPECT_EQ("421234", ItemText(IDC_REPAIR_DELAY_MINUTES)) << "six digits at most";
    SetItemText(IDC_REPAIR_DELAY_MINUTES, "100000");
    EXPECT_EQ("Inactive", State());
    EXPECT_EQ("", Remaining());

    Click(IDC_REPAIR_SHUTDOWN);
    EXPECT_EQ("Active", State());
    EXPECT_EQ("1666:40:00", Remaining());
}

TEST_F(TimedShutdown, DelayZeroShowsZeroAndShutsDownAtTheFirstTick) {
    ExitWindowsRecorder recorder;
    Start("0");
    EXPECT_EQ("Active", State());
    EXPECT_EQ("00:00:00", Remaining());
    EXPECT_TRUE(recorder.Calls().empty());
    Tick();
    ASSERT_EQ(1u, recorder.Calls().size());
    EXPECT_EQ(SHUTDOWN_BY_FORCE, recorder.Calls()[0].flags);
    EXPECT_EQ(0u, recorder.Calls()[0].reason);
    EXPECT_TRUE(recorder.Calls()[0].shutdownPrivilegeEnabled) << "the privilege is on for the call";
    EXPECT_FALSE(repairtest::IsPrivilegeEnabled(SHUTDOWN_PRIVILEGE)) << "and off again after it";
    EXPECT_FALSE(TimerWasRunning()) << "the countdown ends at zero";
    EXPECT_EQ("Active", State());
    EXPECT_EQ("00:00:00", Remaining());
}

TEST_F(TimedShutdown, SixtyOneMinutesCountDownSecondBySecondWithBorrowing) {
    ExitWindowsRecorder recorder;
    Start("61");
    EXPECT_EQ("01:01:00", Remaining());
    Tick();
    EXPECT_EQ("01:00:59", Remaining());
    for (int second = 58; second >= 0; --second) {
        Tick();
        ASSERT_EQ(FormatRemainingTime(1, 0, static_cast<unsigned>(second)), Remaining());
    }
    EXPECT_EQ("01:00:00", Remaining());
    Tick();
    EXPECT_EQ("00:59:59", Remaining());
    EXPECT_TRUE(TimerWasRunning());
    EXPECT_TRUE(recorder.Calls().empty());
}

TEST_F(TimedShutdown, RealTimerTicksCountDown) {
    ExitWindowsRecorder recorder;
    Start("61");
    EXPECT_TRUE(vxtest::PumpUntil([&] { return Remaining() == "01:00:59"; }, 5000)) << Remaining();
    EXPECT_TRUE(vxtest::PumpUntil([&] { return Remaining() == "01:00:58"; }, 5000)) << Remaining();
    EXPECT_TRUE(recorder.Calls().empty());
}

TEST_F(TimedShutdown, StartDuringACountdownRestartsItFromTheDelay) {
    Start("61");
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ("01:00:55", Remaining());
    Start("2");
    EXPECT_EQ("00:02:00", Remaining());
    Click(IDC_REPAIR_SHUTDOWN);
    EXPECT_EQ("00:02:00", Remaining());
    EXPECT_TRUE(TimerWasRunning());
}

TEST_F(TimedShutdown, ARejectedEntryKeepsThePreviousDelay) {
    Start("61");
    Tick();
    Start("");
    EXPECT_EQ("01:01:00", Remaining());
}

TEST_F(TimedShutdown, CancelStopsTheCountdownAndClearsTheTime) {
    ExitWindowsRecorder recorder;
    Start("0");
    Click(IDC_REPAIR_CANCEL_SHUTDOWN);
    EXPECT_EQ("Inactive", State());
    EXPECT_EQ("", Remaining());
    EXPECT_FALSE(TimerWasRunning());
    // A second cancel, with no timer, sets the same texts.
    Click(IDC_REPAIR_CANCEL_SHUTDOWN);
    EXPECT_EQ("Inactive", State());
    vxtest::PumpFor(1500);
    EXPECT_TRUE(recorder.Calls().empty());
}

TEST_F(TimedShutdown, OtherTimersDoNotCount) {
    Start("61");
    SendMessageA(page.Hwnd(), WM_TIMER, SHUTDOWN_TIMER_ID + 1, 0);
    EXPECT_EQ("01:01:00", Remaining());
}

TEST_F(TimedShutdown, OnTheWindows9xFamilyAndWhenTheVersionIsUnknownTheCallIsMadeDirectly) {
    for (bool versionKnown : {true, false}) {
        ExitWindowsRecorder recorder;
        vxtest::PlatformStandIn platform(VER_PLATFORM_WIN32_WINDOWS, versionKnown);
        Start("0");
        Tick();
        ASSERT_EQ(1u, recorder.Calls().size()) << versionKnown;
        EXPECT_EQ(SHUTDOWN_BY_FORCE, recorder.Calls()[0].flags);
        EXPECT_FALSE(recorder.Calls()[0].shutdownPrivilegeEnabled) << "no privilege is asked for";
    }
}

// The process token loses the shutdown privilege for good, so this runs in
// a child process of its own.
void RunCountdownWithoutTheShutdownPrivilege() {
    LUID luid;
    HANDLE token;
    if (!LookupPrivilegeValueA(nullptr, SHUTDOWN_PRIVILEGE, &luid) ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        exit(2);
    TOKEN_PRIVILEGES removal = {1, {{luid, SE_PRIVILEGE_REMOVED}}};
    AdjustTokenPrivileges(token, FALSE, &removal, 0, nullptr, nullptr);
    CloseHandle(token);
    if (EnablePrivilege(SHUTDOWN_PRIVILEGE)) exit(3);

    ExitWindowsRecorder recorder;
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    RepairPage page;
    if (!page.Create(parent)) exit(4);
    SetDlgItemTextA(page.Hwnd(), IDC_REPAIR_DELAY_MINUTES, "0");
    SendMessageA(page.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REPAIR_SHUTDOWN, BN_CLICKED), 0);
    SendMessageA(page.Hwnd(), WM_TIMER, SHUTDOWN_TIMER_ID, 0);
    bool timerEnded = !KillTimer(page.Hwnd(), SHUTDOWN_TIMER_ID);
    bool stillActive = ui::GetWindowTextString(page.Item(IDC_REPAIR_SHUTDOWN_STATE)) == "Active";
    exit(recorder.Calls().empty() && timerEnded && stillActive ? 0 : 5);
}

TEST_F(TimedShutdown, APrivilegeThatCannotBeSwitchedOnMakesNoCall) {
    EXPECT_EXIT(RunCountdownWithoutTheShutdownPrivilege(), testing::ExitedWithCode(0), "");
}

}  // namespace
