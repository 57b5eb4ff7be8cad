// Fixtures and helpers shared by the quarantine store's tests.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/common/TestSupport.h"
#include "ui/Controls.h"

#include <functional>
#include <string>
#include <vector>

namespace qtest {

// The sandbox starts every test executable from W:\, so the quarantine
// folder lies in the build tree.
const char QUARANTINE_FOLDER[] = "W:\\quarantine\\";

// `size` bytes that count down from 0xFF, so that every byte value occurs
// once the size reaches 256 and the shift wraps from the first byte on.
std::string AllByteValues(size_t size);

// The bytes a quarantined file of `content` from `origin` must hold.
std::string QuarantinedImage(const std::string& origin, const std::string& content);

// Writes a file, creating its missing folders.
void PutFile(const std::string& path, const std::string& content);

// Full paths of the entries of the quarantine folder, sorted.
std::vector<std::string> QuarantinedFiles();

// The current user's desktop folder, without a trailing backslash.
std::string DesktopFolder();

// Starts and ends every test with empty test drives, an empty desktop, no
// quarantine folder and the real file calls.
class QuarantineTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    static void Clean();
};

// Calls `observer` after `window` has handled each of its messages, on the
// window's thread, so that a test sees what a worker makes the window do.
class MessageWatch {
public:
    using Observer = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)>;
    MessageWatch(HWND window, Observer observer);
    ~MessageWatch();
    MessageWatch(const MessageWatch&) = delete;
    MessageWatch& operator=(const MessageWatch&) = delete;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    HWND m_window;
    Observer m_observer;
};

// A child page on a pop-up that stands in for the main window, on clean
// drives and an empty quarantine.
template <typename Page>
class PageTest : public QuarantineTest {
protected:
    void SetUp() override {
        QuarantineTest::SetUp();
        m_parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 40, 40, 760, 470, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_parent);
        ASSERT_TRUE(page.Create(m_parent));
        ShowWindow(page.Hwnd(), SW_SHOW);
    }
    void TearDown() override {
        page.DestroyWindow();
        DestroyWindow(m_parent);
        QuarantineTest::TearDown();
    }
    // The list's column `column`, row by row.
    static std::vector<std::string> Column(ui::ListView& list, int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < list.GetItemCount(); ++row) texts.push_back(list.GetItemText(row, column));
        return texts;
    }
    // Shows the page on its stand-in window and saves a picture of it.
    void Screenshot(const std::string& name) {
        ShowWindow(m_parent, SW_SHOW);
        UpdateWindow(m_parent);
        vxtest::PumpFor(200);
        EXPECT_NE("", vxtest::SaveScreenshot(m_parent, name));
        ShowWindow(m_parent, SW_HIDE);
    }

    HWND m_parent = nullptr;
    Page page;
};

}  // namespace qtest
