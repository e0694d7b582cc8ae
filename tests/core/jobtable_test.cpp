// The job table load through its staging file, and the log file: what lands in the table and on
// disk, and what each failure leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "batch/RunLog.h"
#include "batch_support.h"
#include "platform/File.h"
#include "resources/Strings.h"

namespace {

using batch_test::BatchTest;
using batch_test::ReadFileBytes;

std::string NumberedLines(int n, const std::string& end) {
    std::string text;
    for (int i = 1; i <= n; ++i) text += "http://h/" + std::to_string(i) + end;
    return text;
}

std::vector<std::string> Numbered(int n) {
    std::vector<std::string> v;
    for (int i = 1; i <= n; ++i) v.push_back("http://h/" + std::to_string(i));
    return v;
}

struct LoadRow {
    const char* name;
    std::string list;
    std::vector<std::string> entries;  // expected entries 1..n; every later one up to 101 empty
};

std::vector<LoadRow> LoadRows() {
    const std::string longLine = "http://h/" + std::string(300, 'L');
    return {
        {"Empty", "", {}},
        {"TrailingCrLfGivesNoExtraEntry", "A\r\nB\r\n", {"A", "B"}},
        {"LastLineWithoutEnd", "A\r\nB", {"A", "B"}},
        {"EmptyLineInTheMiddle", "A\r\n\r\nB\r\n", {"A", "", "B"}},
        {"FirstLineEmpty", "\r\nB", {"", "B"}},
        {"BlanksAreKept", "  A \r\n   \r\n", {"  A ", "   "}},
        {"LoneCrTakesTheNextByte", "a\rXb", {"aX", "b"}},
        {"LongLineWhole", longLine + "\r\n", {longLine}},
        {"Cp932Bytes",
         "http://h/\x83\x65\x83\x58\x83\x67\r\n",
         {"http://h/\x83\x65\x83\x58\x83\x67"}},
        {"Exactly100", NumberedLines(100, "\r\n"), Numbered(100)},
        {"101LinesLoad100", NumberedLines(101, "\r\n"), Numbered(100)},
        {"150LinesLoad100", NumberedLines(150, "\r\n"), Numbered(100)},
    };
}

class LoadTable : public BatchTest, public ::testing::WithParamInterface<LoadRow> {};

TEST_P(LoadTable, FillsEntriesAndWritesTheStagingFile) {
    const LoadRow& row = GetParam();
    // A longer earlier table must leave nothing behind.
    SetList(NumberedLines(100, "\r\n"));
    dlg->OnCommand(IDC_GET, false);
    SetList(row.list);

    dlg->OnCommand(IDC_GET, false);

    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(ReadFileBytes(InHome("Pomvex.PVX")), row.list) << "staging file bytes";
    for (int i = 1; i < JobTable::kSlots; ++i) {
        const std::string expected =
            static_cast<size_t>(i) <= row.entries.size() ? row.entries[i - 1] : "";
        EXPECT_EQ(dlg->batch().Job(i), expected) << "entry " << i;
    }
    EXPECT_EQ(dlg->batch().Cursor(), 1);
    EXPECT_EQ(dlg->batch().Ready(), 1);
}

INSTANTIATE_TEST_SUITE_P(Lists, LoadTable, ::testing::ValuesIn(LoadRows()),
                         [](const auto& info) { return std::string(info.param.name); });

// State a failed load must leave alone: a batch in the middle of an old table.
class LoadFailure : public BatchTest {
  protected:
    void SetUp() override {
        BatchTest::SetUp();
        // The first job of an old table failed: its batch waits for the watchdog.
        runner.behaviours["old1"] = {batch_test::Behaviour::ErrorBeforeOpen};
        SetList("old1\r\nold2\r\n");
        dlg->OnCommand(IDC_GET, false);
        host.Advance(1000);
        ASSERT_EQ(::unlink(InHome("Pomvex.PVX").c_str()), 0);
        SetList("new1\r\nnew2\r\n");
    }
    void ExpectUnchanged() {
        EXPECT_EQ(dlg->batch().Job(1), "old1");
        EXPECT_EQ(dlg->batch().Job(2), "old2");
        EXPECT_EQ(dlg->batch().Job(3), "");
        EXPECT_EQ(dlg->batch().Cursor(), 2);
        EXPECT_EQ(dlg->batch().Ready(), 0);
    }
    void ExpectOneBox(Sid text, unsigned type) {
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].text, Str(text));
        EXPECT_EQ(host.boxes[0].type, type);
    }
};

TEST_F(LoadFailure, ProgramFolderMissing) {
    batch_test::RemoveTree(home.path());
    dlg->OnCommand(IDC_GET, false);
    ExpectOneBox(Sid::TempCreateFailed, MB_OK);
    ExpectUnchanged();
    EXPECT_EQ(dlg->batch().Downloading(), 1) << "the mode is set before the load";
}

TEST_F(LoadFailure, FolderInPlaceOfTheStagingFile) {
    ASSERT_EQ(::mkdir(InHome("Pomvex.PVX").c_str(), 0777), 0);
    dlg->OnCommand(IDC_CHECK_LIST, false);
    ExpectOneBox(Sid::TempCreateFailed, MB_OK);
    ExpectUnchanged();
    EXPECT_EQ(dlg->batch().Downloading(), 0);
}

TEST_F(LoadFailure, StagingFileHeldByAnotherHolder) {
    CFile holder;
    ASSERT_TRUE(holder.Open(InHome("Pomvex.PVX"),
                            CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    holder.Write("theirs", 6);
    dlg->OnCommand(IDC_GET, false);
    ExpectOneBox(Sid::TempCreateFailed, MB_OK);
    ExpectUnchanged();
    EXPECT_EQ(ReadFileBytes(InHome("Pomvex.PVX")), "theirs");
}

TEST_F(LoadFailure, StagingFileReadOnly) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    batch_test::WriteFileBytes(InHome("Pomvex.PVX"), "x");
    ASSERT_EQ(::chmod(InHome("Pomvex.PVX").c_str(), 0444), 0);
    dlg->OnCommand(IDC_GET, false);
    ExpectOneBox(Sid::TempCreateFailed, MB_OK);
    ExpectUnchanged();
}

TEST_F(LoadFailure, StagingFileWriteOnlyCannotBeReadBack) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    batch_test::WriteFileBytes(InHome("Pomvex.PVX"), "x");
    ASSERT_EQ(::chmod(InHome("Pomvex.PVX").c_str(), 0200), 0);
    dlg->OnCommand(IDC_GET, false);
    ExpectOneBox(Sid::TempReadFailed, MB_OK);
    ExpectUnchanged();
}

TEST_F(LoadFailure, FullDiskWhileWritingReachesTheErrorWrapper) {
    ASSERT_EQ(::symlink("/dev/full", InHome("Pomvex.PVX").c_str()), 0);
    dlg->OnCommand(IDC_GET, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_ICONSTOP});
    EXPECT_EQ(host.boxes[0].text,
              CFileException(CFileException::diskFull, InHome("Pomvex.PVX")).GetErrorMessage());
    ExpectUnchanged();
}

TEST_F(LoadFailure, ReadErrorAfterOpenReachesTheErrorWrapper) {
    // An empty list writes nothing, so only the read-back meets the failing file.
    SetList("");
    ASSERT_EQ(::symlink("/proc/self/mem", InHome("Pomvex.PVX").c_str()), 0);
    dlg->OnCommand(IDC_GET, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_ICONSTOP});
    EXPECT_EQ(host.boxes[0].text,
              CFileException(CFileException::hardIO, InHome("Pomvex.PVX")).GetErrorMessage());
    EXPECT_EQ(dlg->batch().Cursor(), 2);
    EXPECT_EQ(dlg->batch().Ready(), 0);
}

// A failed load while a batch runs: the batch finishes its old table.
TEST_F(BatchTest, FailedLoadDuringABatchKeepsTheOldTable) {
    SetList("A\r\nB\r\nC\r\n");
    dlg->OnCommand(IDC_GET, false);
    host.Advance(1000);  // job A
    ASSERT_EQ(runner.calls, (std::vector<std::string>{"D1"}));
    ASSERT_EQ(::unlink(InHome("Pomvex.PVX").c_str()), 0);
    ASSERT_EQ(::mkdir(InHome("Pomvex.PVX").c_str(), 0777), 0);
    SetList("X\r\nY\r\n");
    dlg->OnCommand(IDC_GET, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TempCreateFailed));

    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(runner.calls, (std::vector<std::string>{"D1", "D2", "D3"}));
    EXPECT_EQ(Shown(IDC_URL), "C");
    using batch_test::ClockAt;
    EXPECT_EQ(LogFile(), ClockAt(0, 0, 1) + " [D1 A]\r\n[D1 done]\r\n" + ClockAt(0, 0, 2) +
                             " [D2 B]\r\n[D2 done]\r\n" + ClockAt(0, 0, 3) +
                             " [D3 C]\r\n[D3 done]\r\n");
}

TEST_F(BatchTest, SaveLogWritesTheBytesAndOnlyTheLastWrite) {
    RunLog log;
    log.Append("first\r\n\x82\xa0\r\n");
    log.Save(host);
    EXPECT_EQ(LogFile(), "first\r\n\x82\xa0\r\n");
    log.Clear();
    log.Append("2\r\n");
    log.Save(host);
    EXPECT_EQ(LogFile(), "2\r\n");
    log.Clear();
    log.Save(host);
    EXPECT_EQ(LogFile(), "");
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.texts.count(IDC_LOG) ? host.texts[IDC_LOG] : "", Str(Sid::LogPlaceholder))
        << "SaveLog shows nothing";
}

TEST_F(BatchTest, SaveLogFailureShowsItsBoxAndChangesNothing) {
    batch_test::RemoveTree(home.path());
    RunLog log;
    log.Append("kept\r\n");
    log.Save(host);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::FileCreateFailed));
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_OK});
    EXPECT_EQ(log.Text(), "kept\r\n");
}

}  // namespace
