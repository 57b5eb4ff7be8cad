// Fixtures and helpers shared by the quarantine store's tests.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

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

}  // namespace qtest
