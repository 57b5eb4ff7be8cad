#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "quarantine/QuarantinePage.h"
#include "quarantine/QuarantineStore.h"
#include "tests/common/TestSupport.h"
#include "tests/quarantine/QuarantineTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using qtest::DesktopFolder;
using qtest::PutFile;
using qtest::QUARANTINE_FOLDER;
using qtest::QuarantinedFiles;
using qtest::QuarantinedImage;
using vxtest::ExpectMessage;
using vxtest::FileExists;
using vxtest::ReadFile;

namespace {

const char NOTHING_FOUND[] = "Nothing found";
const char PLEASE_WAIT[] = "Please wait for a while";
const char CONFIRM_EMPTY[] = "Do you want to delete all quarantined files thoroughly?";
const char EMPTY_COMPLETED[] = "Empty completed";
const char RESTORE_FAILED_TEXT[] = "Restore failed: The file has been restored";

std::string Signature() {
    return std::string(QUARANTINE_SIGNATURE, QUARANTINE_SIGNATURE_LENGTH);
}

class QuarantinePageTest : public qtest::PageTest<QuarantinePage> {
protected:
    std::vector<std::string> Origins() { return Column(page.Quarantined(), 0); }
    std::vector<std::string> Copies() { return Column(page.Quarantined(), 1); }
    bool ButtonsEnabled() {
        return IsWindowEnabled(page.RefreshButton()) && IsWindowEnabled(page.RestoreButton()) &&
               IsWindowEnabled(page.EmptyButton());
    }
    void Quarantine(const std::string& path, const std::string& content) {
        PutFile(path, content);
        ASSERT_TRUE(QuarantineAndDelete(path.c_str())) << path;
    }
};

std::string ToolTipText(const ImageButton& button) {
    return vxtest::ToolTipText(vxtest::LetMouseReach(button.Hwnd()), button.Hwnd());
}

TEST_F(QuarantinePageTest, ColumnsAndButtonTips) {
    const char* titles[] = {"Origin", "Quarantine"};
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(titles[column], vxtest::ColumnTitle(page.Quarantined().Hwnd(), column));
        EXPECT_EQ(410, SendMessageA(page.Quarantined().Hwnd(), LVM_GETCOLUMNWIDTH, column, 0));
    }
    EXPECT_EQ(static_cast<LRESULT>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              SendMessageA(page.Quarantined().Hwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ("Refresh the list", ToolTipText(page.Button(IDC_QUARANTINE_REFRESH)));
    EXPECT_EQ("Restore the quarantined file to origin", ToolTipText(page.Button(IDC_QUARANTINE_RESTORE)));
    EXPECT_EQ("Delete all quarantined files thoroughly", ToolTipText(page.Button(IDC_QUARANTINE_EMPTY)));
}

TEST_F(QuarantinePageTest, AnEmptyQuarantineAnswersNothingFound) {
    page.RefreshList();
    EXPECT_EQ(0, page.Quarantined().GetItemCount());
    ExpectMessage(NOTHING_FOUND);
    page.OnRestore();
    ExpectMessage(NOTHING_FOUND);
    page.OnEmpty();
    EXPECT_FALSE(page.IsEmptying());
    EXPECT_TRUE(ButtonsEnabled());
}

// Only files with the signature are listed, and only listed files go.
TEST_F(QuarantinePageTest, ListsQuarantinedFilesByOriginAndEmptiesOnlyThose) {
    Quarantine("E:\\a\\x.exe", "first");
    Quarantine("E:\\b\\x.exe", "second");
    PutFile(std::string(QUARANTINE_FOLDER) + "x.txt.bq", "a file of someone else's");
    page.RefreshList();

    const std::vector<std::string> origins = Origins();
    EXPECT_EQ((std::set<std::string>{"E:\\a\\x.exe", "E:\\b\\x.exe"}),
              std::set<std::string>(origins.begin(), origins.end()));
    for (int row = 0; row < 2; ++row) {
        const std::string origin = Origins()[row], copy = Copies()[row];
        EXPECT_EQ(0u, copy.find(QUARANTINE_FOLDER)) << copy;
        EXPECT_EQ(QuarantinedImage(origin, origin == "E:\\a\\x.exe" ? "first" : "second"), ReadFile(copy));
    }
    Screenshot("quarantine_page_findings");

    ExpectMessage(CONFIRM_EMPTY);
    ExpectMessage(PLEASE_WAIT);
    ExpectMessage(EMPTY_COMPLETED);
    page.OnEmpty();
    EXPECT_FALSE(ButtonsEnabled());
    ASSERT_TRUE(vxtest::PumpUntil([&] { return !page.IsEmptying(); }, 20000));
    EXPECT_EQ(0, page.Quarantined().GetItemCount());
    EXPECT_EQ(std::vector<std::string>{std::string(QUARANTINE_FOLDER) + "x.txt.bq"}, QuarantinedFiles());
    EXPECT_TRUE(ButtonsEnabled());

    ExpectMessage(NOTHING_FOUND);
    page.OnEmpty();
}

TEST_F(QuarantinePageTest, RestoreGoesToTheOriginThenToTheDesktopThenFails) {
    Quarantine("E:\\r\\doc.exe", "payload");
    page.RefreshList();
    ASSERT_EQ(1, page.Quarantined().GetItemCount());
    const std::string copy = Copies()[0];

    ExpectMessage("Please select a file");
    page.OnRestore();
    page.Quarantined().Select(0);
    ExpectMessage("Restore E:\\r\\doc.exe?", IDCANCEL);
    page.OnRestore();
    EXPECT_FALSE(FileExists("E:\\r\\doc.exe"));

    const char* results[] = {"Restore succeeded", "Restore the file to desktop", RESTORE_FAILED_TEXT};
    for (const char* result : results) {
        ExpectMessage("Restore E:\\r\\doc.exe?");
        ExpectMessage(result);
        page.OnRestore();
        EXPECT_EQ(1, page.Quarantined().GetItemCount());
        EXPECT_TRUE(FileExists(copy));
        EXPECT_TRUE(ButtonsEnabled());
    }
    EXPECT_EQ("payload", ReadFile("E:\\r\\doc.exe"));
    EXPECT_EQ("payload", ReadFile(DesktopFolder() + "\\doc.exe"));
}

TEST_F(QuarantinePageTest, RestoreOfAFileDeletedBehindThePagesBack) {
    Quarantine("E:\\gone.exe", "x");
    page.RefreshList();
    ASSERT_EQ(1, page.Quarantined().GetItemCount());
    ASSERT_TRUE(DeleteFileA(Copies()[0].c_str()));
    page.Quarantined().Select(0);
    ExpectMessage("Restore E:\\gone.exe?");
    ExpectMessage("Restore failed: the quarantined file is absent!");
    page.OnRestore();
    EXPECT_EQ(1, page.Quarantined().GetItemCount());
    EXPECT_FALSE(FileExists("E:\\gone.exe"));
}

// Anyone can drop files into the folder: each is skipped or listed with what
// can safely be read, and restoring a broken one gives the failure message.
TEST_F(QuarantinePageTest, MalformedFilesAreSkippedOrListedSafely) {
    const std::string folder = QUARANTINE_FOLDER;
    const std::string origin255 = "E:\\" + std::string(248, 'o') + ".vbs";
    ASSERT_EQ(255u, origin255.size());
    PutFile(folder + "empty.bq", "");
    PutFile(folder + "short.bq", "Brisq");
    PutFile(folder + "garbage.bq", std::string(4096, '\xA7'));
    PutFile(folder + "nocr.bq", Signature() + "E:\\nocr.exe");
    PutFile(folder + "toolong.bq", Signature() + std::string(300, 'a') + "\r\nxyz");
    PutFile(folder + "longest.bq", Signature() + origin255 + "\r\n");
    PutFile(folder + "noname.bq", Signature() + "\r\nabc");
    std::string huge = Signature() + "E:\\huge.bin\r\n";
    huge.resize(8 * 1024 * 1024, '\x5D');
    PutFile(folder + "huge.bq", huge);
    ASSERT_TRUE(CreateDirectoryA((folder + "folder.bq").c_str(), nullptr));

    page.RefreshList();
    const std::vector<std::string> origins = Origins();
    EXPECT_EQ((std::set<std::string>{"E:\\nocr.exe", origin255, "", "E:\\huge.bin"}),
              std::set<std::string>(origins.begin(), origins.end()));
    for (const std::string& origin : origins) EXPECT_LE(origin.size(), 255u);

    // The row without a folder in its origin cannot be put anywhere.
    for (int row = 0; row < page.Quarantined().GetItemCount(); ++row) {
        if (!Origins()[row].empty()) continue;
        page.Quarantined().Select(row);
        ExpectMessage("Restore ?");
        ExpectMessage(RESTORE_FAILED_TEXT);
        page.OnRestore();
    }
    // Without a line end there is no content: the file comes back empty.
    for (int row = 0; row < page.Quarantined().GetItemCount(); ++row) {
        if (Origins()[row] != "E:\\nocr.exe") continue;
        page.Quarantined().Select(row);
        ExpectMessage("Restore E:\\nocr.exe?");
        ExpectMessage("Restore succeeded");
        page.OnRestore();
    }
    EXPECT_EQ("", ReadFile("E:\\nocr.exe"));
    EXPECT_TRUE(FileExists(folder + "garbage.bq"));
}

// ---------------------------------------------------------------- fuzzing

// A small, fixed generator, so that a failure can be replayed.
class Random {
public:
    explicit Random(UINT32 seed) : m_state(seed) {}
    UINT32 Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    size_t Below(size_t n) { return n ? Next() % n : 0; }

private:
    UINT32 m_state;
};

// Every origin begins with this folder, and mutations leave it alone, so a
// restore can only ever write below it (or onto the sandbox's desktop).
const char FUZZ_PREFIX[] = "E:\\fz\\";

std::string Mutate(std::string data, Random& random) {
    const size_t keep = QUARANTINE_SIGNATURE_LENGTH + strlen(FUZZ_PREFIX);
    for (size_t step = 0, steps = 1 + random.Below(4); step < steps; ++step) {
        // Inserts land after the prefix, or at the end of what is left of it.
        const size_t start = std::min(keep, data.size());
        size_t tail = data.size() - start;
        switch (random.Below(7)) {
        case 0:  // a byte anywhere after the prefix
            if (tail) data[start + random.Below(tail)] = static_cast<char>(random.Next());
            break;
        case 1:  // a damaged signature
            if (!data.empty())
                data[random.Below(std::min<size_t>(QUARANTINE_SIGNATURE_LENGTH, data.size()))] ^=
                    static_cast<char>(1 + random.Below(255));
            break;
        case 2:  // cut short, anywhere
            data.resize(random.Below(data.size() + 1));
            break;
        case 3:  // a line end, or half of one, where it does not belong
            data.insert(start + random.Below(tail + 1), random.Below(2) ? "\r" : "\n");
            break;
        case 4:  // a long run of one byte
            data.insert(start + random.Below(tail + 1), 1 + random.Below(400), static_cast<char>(random.Next()));
            break;
        case 5:  // every CR gone
            for (char& c : data)
                if (c == '\r' && &c - &data[0] >= static_cast<long>(start)) c = 'r';
            break;
        default:  // a NUL inside the origin
            if (tail) data[start + random.Below(std::min<size_t>(tail, 40))] = '\0';
            break;
        }
    }
    return data;
}

// What the header holds: the origin up to CR or the end of the file, when it
// has the signature and fits 255 characters.
bool ModelOrigin(const std::string& data, std::string& origin) {
    if (data.compare(0, QUARANTINE_SIGNATURE_LENGTH, Signature()) != 0 || data.size() < QUARANTINE_SIGNATURE_LENGTH)
        return false;
    std::string rest = data.substr(QUARANTINE_SIGNATURE_LENGTH);
    origin = rest.substr(0, rest.find('\r'));
    if (origin.size() > QUARANTINE_PATH_MAX) return false;
    origin = origin.c_str();  // the page sees it up to the first NUL
    return true;
}

std::string ModelContent(const std::string& data) {
    size_t lineEnd = data.find('\n', QUARANTINE_SIGNATURE_LENGTH);
    std::string content = lineEnd == std::string::npos ? "" : data.substr(lineEnd + 1);
    for (char& c : content) c = static_cast<char>(static_cast<BYTE>(c) - QUARANTINE_SHIFT);
    return content;
}

using QuarantineFuzz = qtest::QuarantineTest;

TEST_F(QuarantineFuzz, ReadingAndRestoringGeneratedFilesNeverOverrunsAndFollowsTheHeader) {
    const int CASES = 300;
    const UINT32 SEED = 0x5EED1234;
    const std::string prefix = FUZZ_PREFIX;
    const std::vector<std::string> corpus = {
        QuarantinedImage(prefix + "a.exe", "MZ\x90 payload"),
        Signature() + prefix + "nocr.bin",
        Signature() + prefix + std::string(300, 'L') + "\r\ncontent",
        Signature() + prefix + "lf-only\ncontent",
        QuarantinedImage(prefix + std::string(249 - prefix.size(), 'x') + ".exe", std::string(3000, 'c')),
    };
    char folder[256];
    ASSERT_TRUE(GetQuarantineFolder(folder));
    const std::string copy = std::string(folder) + "fuzz.bq";
    Random random(SEED);
    int listed = 0, restored = 0;
    for (int n = 0; n < CASES; ++n) {
        const std::string data = Mutate(corpus[random.Below(corpus.size())], random);
        SCOPED_TRACE("case " + std::to_string(n) + " of seed " + std::to_string(SEED));
        PutFile(copy, data);

        char buffer[QUARANTINE_PATH_MAX + 1 + 64];
        memset(buffer, 0xCD, sizeof buffer);
        BOOL read = ReadQuarantineOrigin(copy.c_str(), buffer);
        for (size_t i = QUARANTINE_PATH_MAX + 1; i < sizeof buffer; ++i)
            ASSERT_EQ(static_cast<char>(0xCD), buffer[i]) << "overrun at " << i;
        std::string origin;
        bool expected = ModelOrigin(data, origin);
        ASSERT_EQ(expected, read != FALSE);
        if (!read) {
            EXPECT_EQ(RESTORE_FAILED, RestoreQuarantinedFile(copy.c_str()));
            continue;
        }
        ++listed;
        ASSERT_EQ(origin, std::string(buffer));

        int result = RestoreQuarantinedFile(copy.c_str());
        ASSERT_TRUE(result == RESTORE_FAILED || result == RESTORE_TO_ORIGIN || result == RESTORE_TO_DESKTOP);
        if (result == RESTORE_TO_ORIGIN) {
            ++restored;
            EXPECT_EQ(ModelContent(data), ReadFile(origin));
        }
        EXPECT_EQ(data, ReadFile(copy));
        vxtest::EmptyFolder("E:\\");
        vxtest::EmptyFolder(DesktopFolder());
    }
    printf("%d cases: %d listed, %d restored to their origin\n", CASES, listed, restored);
    EXPECT_GT(listed, CASES / 4);
    EXPECT_GT(restored, 0);
}

}  // namespace
