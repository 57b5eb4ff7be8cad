#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "app/MainDialog.h"
#include "tests/common/TestSupport.h"
#include "tests/tools/RepairTestSupport.h"

namespace {

// The real main window, run modally as the program runs it.
class RepairPageInMainWindow : public testing::Test {
protected:
    void SetUp() override {
        // Nothing for the shield to find on the sandbox's removable drives.
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder("F:\\");
    }

    // Runs the main window and `script` inside its loop, once it has
    // settled hidden in the notification area.
    void Run(const std::function<void()>& script) {
        vxtest::RunInsideModalLoop([&] { dialog.DoModal(); }, [&] {
            ASSERT_TRUE(vxtest::PumpUntil([&] { return !IsWindowVisible(dialog.Hwnd()); }));
            page = static_cast<RepairPage*>(dialog.Page(PAGE_REPAIR));
            script();
            if (dialog.IsModal()) dialog.OnTrayExit();
        });
    }

    void RunTool(int id, const char* question) {
        vxtest::ExpectMessage(question);
        SendMessageA(page->Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page->Item(id)));
        ASSERT_TRUE(vxtest::PumpUntil([&] { return !page->IsWorking(); }, 60000));
        vxtest::PumpFor(50);
    }

    MainDialog dialog;
    RepairPage* page = nullptr;
};

TEST_F(RepairPageInMainWindow, TheEndOfACleanupBringsTheWindowForwardOnTheRepairPage) {
    Run([&] {
        dialog.ShowPage(PAGE_INFO);
        ASSERT_FALSE(IsWindowVisible(dialog.Hwnd()));
        RunTool(IDC_REPAIR_CLEANUP, "Do you want to cleanup the system drive?\r\nPlease wait for a while!");
        EXPECT_TRUE(IsWindowVisible(dialog.Hwnd()));
        EXPECT_TRUE(dialog.IsPageShown(PAGE_REPAIR));
        EXPECT_FALSE(dialog.IsPageShown(PAGE_INFO));
        EXPECT_EQ(dialog.Hwnd(), GetForegroundWindow());
    });
}

TEST_F(RepairPageInMainWindow, ARepairShowsItsRowsOnThePage) {
    HKEY policies;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER,
                                             "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &policies, nullptr));
    RegCloseKey(policies);
    Run([&] {
        dialog.OnTrayShow();
        dialog.ShowPage(PAGE_REPAIR);
        RunTool(IDC_REPAIR_REGISTRY, "Do you want to repair registry?");
        EXPECT_EQ(31, page->Results().GetItemCount());
        EXPECT_TRUE(IsWindowVisible(page->Results().Hwnd()));

        repairtest::ExitWindowsRecorder noShutdown;
        SendMessageA(page->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REPAIR_SHUTDOWN, BN_CLICKED), 0);
        // The shutdown controls lie where the user can see them.
        RECT client;
        GetClientRect(dialog.Hwnd(), &client);
        MapWindowPoints(dialog.Hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        for (int id : {IDC_REPAIR_SHUTDOWN, IDC_REPAIR_CANCEL_SHUTDOWN, IDC_REPAIR_SHUTDOWN_STATE,
                       IDC_REPAIR_COUNTDOWN, IDC_REPAIR_DELAY_MINUTES}) {
            RECT control;
            GetWindowRect(page->Item(id), &control);
            EXPECT_TRUE(control.left >= client.left && control.top >= client.top && control.right <= client.right &&
                        control.bottom <= client.bottom)
                << "control " << id << " lies outside the window's client area";
        }
        vxtest::SaveScreenshot(dialog.Hwnd(), "repair-after-registry-repair");
        SendMessageA(page->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_REPAIR_CANCEL_SHUTDOWN, BN_CLICKED), 0);
    });
}

}  // namespace
