// The sleep lock and the end-of-batch notification on the fake host: every way the timed start
// and a batch begin and end, as the desktop sees it (holds, releases and notifications in order).
// The fake desktop fails any second lock asked for while one is held.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "batch_support.h"
#include "fake/FakeDesktop.h"
#include "resources/Strings.h"

namespace {

using batch_test::Behaviour;

class Unattended : public batch_test::BatchTest {
  public:
    void SetUp() override {
        BatchTest::SetUp();
        host.Attach(nullptr);
        dlg = std::make_unique<CPomvexDlg>(host, runner);
        dlg->SetDesktop(desktop);
        host.Attach(dlg.get());
        dlg->OnInitDialog();
    }

    void Tick() { host.Advance(1000); }
    void Get(const std::string& list) {
        SetList(list);
        dlg->OnCommand(IDC_GET, false);
    }
    void CheckList(const std::string& list) {
        SetList(list);
        dlg->OnCommand(IDC_CHECK_LIST, false);
    }
    // Presses "あとでGet" with the schedule combos set to 11/28 hh:mm, lasting `hours`.
    void Arm(const char* hour, const char* minute, const char* hours) {
        host.texts[IDC_MONTH] = "11";
        host.texts[IDC_DAY] = "28";
        host.texts[IDC_HOUR] = hour;
        host.texts[IDC_MINUTE] = minute;
        host.texts[IDC_DURATION] = hours;
        dlg->OnCommand(IDC_GET_LATER, false);
    }

    using BatchTest::dlg;
    using BatchTest::home;
    using BatchTest::host;
    using BatchTest::runner;
    using BatchTest::RunToEnd;
    using BatchTest::SetList;
    FakeDesktop desktop;
};

struct Row {
    const char* name;
    void (*drive)(Unattended&);
    std::vector<std::string> expected;  // the desktop's calls, UTF-8
};
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const std::string kHoldScheduled = "hold 予約したダウンロードの開始を待っています";
const std::string kHoldDownload = "hold ダウンロード中です";
const std::string kHoldCheck = "hold リストチェック中です";
const std::string kRelease = "release";

const Row kRows[] = {
    {"ArmThenDisarm",
     [](Unattended& t) {
         t.Arm("23", "0", "1");
         t.host.Advance(60000);
         t.Arm("23", "0", "1");
         t.host.Advance(60000);
     },
     {kHoldScheduled, kRelease}},
    {"GetRunsToItsEnd",
     [](Unattended& t) {
         t.Get("A\r\nB\r\n");
         ASSERT_TRUE(t.RunToEnd());
         t.host.Advance(5000);
     },
     {kHoldDownload, kRelease,
      "notify ダウンロードが終わりました / 開始 2件、DL終了 2件、未完了 0件"}},
    {"CheckListCountsTheUrlsChecked",
     [](Unattended& t) {
         t.runner.behaviours["B"] = {Behaviour::ErrorBeforeOpen};
         t.CheckList("A\r\nB\r\nC\r\n");
         ASSERT_TRUE(t.RunToEnd());  // B waits for the watchdog
     },
     {kHoldCheck, kRelease,
      "notify リストチェックが終わりました / 開始 3件、チェック終了 2件、未完了 1件"}},
    {"ScheduledBatchHoldsTheSameLockToItsEnd_TheLaterDeadlineSendsNothing",
     [](Unattended& t) {
         t.Arm("0", "0", "1");
         t.SetList("A\r\n");
         t.host.Advance(60000);  // the match at 50 s; A at 51 s, the end at 52 s
         ASSERT_EQ(t.dlg->batch().Cursor(), 0);
         t.host.Advance(3600000);
     },
     {kHoldScheduled, kRelease,
      "notify ダウンロードが終わりました / 開始 1件、DL終了 1件、未完了 0件"}},
    {"DeadlineCutsTheScheduledBatch",
     [](Unattended& t) {
         t.runner.behaviours["H"] = {Behaviour::Normal, 3700,
                                     1000};  // still copying at the deadline
         t.Arm("0", "0", "1");
         t.SetList("A\r\nH\r\nC\r\n");
         t.host.Advance(3800000);  // H, let go on by the deadline, ends and is counted
     },
     {kHoldScheduled, kRelease,
      "notify タイムオーバーによりダウンロードを終了しました / 開始 2件、DL終了 2件、未完了 0件"}},
    {"ScheduledLoadFailsAndDisarms",
     [](Unattended& t) {
         t.Arm("0", "0", "1");
         batch_test::RemoveTree(t.home.path());
         t.host.Advance(60000);
         ASSERT_EQ(t.dlg->batch().Armed(), 0);
     },
     {kHoldScheduled, kRelease}},
    {"BatchByHandWhileArmedKeepsTheLock",
     [](Unattended& t) {
         t.Arm("23", "0", "1");
         t.Get("A\r\n");
         ASSERT_TRUE(t.RunToEnd());
         t.Arm("23", "0", "1");
     },
     {kHoldScheduled, "notify ダウンロードが終わりました / 開始 1件、DL終了 1件、未完了 0件",
      kRelease}},
    {"AbortSendsNothing_NorDoesTheDeadlineAfterIt",
     [](Unattended& t) {
         t.Get("A\r\nB\r\n");
         t.Tick();
         t.host.SetTimer(TIMER_DEADLINE, 3000);
         t.dlg->OnCommand(IDC_ABORT, false);
         t.host.Advance(5000);
     },
     {kHoldDownload, kRelease}},
    {"ProgressCancelSendsNothing",
     [](Unattended& t) {
         t.runner.behaviours["A"] = {Behaviour::Cancel, 2, 500};
         t.Get("A\r\nB\r\n");
         t.Tick();
         t.host.Advance(5000);
     },
     {kHoldDownload, kRelease}},
    {"DeadlineDuringATransfer_TheLockAndTheNoticeWaitForIt",
     [](Unattended& t) {
         t.runner.behaviours["A"] = {Behaviour::Normal, 10, 1000};
         t.host.SetTimer(TIMER_DEADLINE, 5500);  // 4.5 s into the copy of A
         t.Get("A\r\nB\r\n");
         t.Tick();
         t.host.Advance(5000);
     },
     {kHoldDownload, kRelease,
      "notify タイムオーバーによりダウンロードを終了しました / 開始 1件、DL終了 1件、未完了 0件"}},
};

class UnattendedRow : public Unattended, public ::testing::WithParamInterface<Row> {};

TEST_P(UnattendedRow, DesktopCalls) {
    GetParam().drive(*this);
    std::vector<std::string> got;
    for (const std::string& call : desktop.calls) got.push_back(Readable(call));
    EXPECT_EQ(got, GetParam().expected);
    EXPECT_FALSE(desktop.held) << "the lock outlived the batch and the schedule";
}

INSTANTIATE_TEST_SUITE_P(Table, UnattendedRow, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
