// Further rounds of a download batch on the virtual clock: which jobs go again, the wait before a
// round, and what ends a round (中止, the deadline). The transfers are the stand-in of
// batch_support.h; its lines are the bracketed ASCII ones.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "batch_support.h"
#include "resources/Strings.h"

namespace {

using batch_test::Behaviour;
using batch_test::ClockAt;

// The clock text at `s` seconds after the start.
std::string At(int s) {
    return ClockAt(s / 3600, s / 60 % 60, s % 60);
}
std::string Start(int s, const std::string& tag, const std::string& url) {
    return At(s) + " [" + tag + " " + url + "]\r\n";
}
std::string End(const std::string& tag, const char* how) {
    return "[" + tag + " " + how + "]\r\n";
}
std::string Round(int s, int wait, int round, int urls) {
    return At(s) + Sj("   ") + std::to_string(wait) + Sj("秒後に再試行 ") + std::to_string(round) +
           Sj("回目を開始します (URL ") + std::to_string(urls) + Sj("件)\r\n");
}
const std::string kConnect = Sj("接続に失敗しました\r\n");

Behaviour Refuse(uint32_t retryAfterS = 0, int failingRuns = -1) {
    Behaviour b{Behaviour::Refuse};
    b.mayPass = true;
    b.retryAfterS = retryAfterS;
    b.failingRuns = failingRuns;
    return b;
}
Behaviour OpenFails(bool mayPass) {
    Behaviour b{Behaviour::ErrorBeforeOpen};
    b.mayPass = mayPass;
    return b;
}

struct Row {
    const char* name = "";
    std::map<std::string, Behaviour> jobs{};  // URL -> how its runs end; the list is A, B
    bool check = false;                       // リストチェック instead of Get
    int64_t pressAtMs = 0;                    // a button pressed then (0: none)
    int button = 0;
    uint32_t deadlineMs = 0;  // the connection time's end (0: none)
    std::vector<std::string> calls{};
    std::string log{};     // the exact run log
    int64_t endMs = 0;     // when the cursor fell to 0
    bool logFile = false;  // whether the log file holds the run log
    int started = 0, done = 0;
};

class Rounds : public batch_test::BatchTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Rounds, Table) {
    const Row& r = GetParam();
    runner.behaviours = r.jobs;
    SetList("A\r\nB\r\n");
    dlg->OnCommand(r.check ? IDC_CHECK_LIST : IDC_GET, false);
    if (r.deadlineMs) host.SetTimer(TIMER_DEADLINE, r.deadlineMs);
    if (r.pressAtMs) {
        host.Advance(r.pressAtMs);
        dlg->OnCommand(r.button, false);
    }
    ASSERT_TRUE(RunToEnd(1000000)) << r.name;
    const int64_t endMs = host.NowMs();
    const std::string log = dlg->batch().Log();
    host.Advance(700000);  // nothing more starts
    EXPECT_EQ(runner.calls, r.calls) << r.name;
    EXPECT_EQ(Readable(log), Readable(r.log)) << r.name;
    EXPECT_EQ(endMs, r.endMs) << r.name;
    EXPECT_EQ(LogFile().has_value() && Readable(*LogFile()) == Readable(r.log), r.logFile)
        << r.name << ": log file " << Readable(LogFile().value_or("<none>"));
    EXPECT_EQ(dlg->batch().GetTally().Started(), r.started) << r.name;
    EXPECT_EQ(dlg->batch().GetTally().Done(), r.done) << r.name;
}

const Row kRows[] = {
    {.name = "NoFailure",  // as without rounds
     .calls = {"D1", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "done") + Start(2, "D2", "B") + End("D2", "done"),
     .endMs = 3000,
     .logFile = true,
     .started = 2,
     .done = 2},
    {.name = "MayPassDoneInRound1",
     .jobs = {{"A", Refuse(0, 1)}},
     .calls = {"D1", "D2", "D1"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") + End("D2", "done") +
            Round(3, 60, 1, 1) + Start(63, "D1", "A") + End("D1", "done"),
     .endMs = 64000,
     .logFile = true,
     .started = 2,
     .done = 2},
    {.name = "FailsAgainGetsRound2AndNoThird",
     .jobs = {{"A", OpenFails(true)}},
     .calls = {"D1", "D2", "D1", "D1"},
     .log = Start(1, "D1", "A") + End("D1", "failed") + kConnect + Start(102, "D2", "B") +
            End("D2", "done") + Round(103, 60, 1, 1) + Start(163, "D1", "A") + End("D1", "failed") +
            kConnect + Round(264, 60, 2, 1) + Start(324, "D1", "A") + End("D1", "failed") +
            kConnect,
     .endMs = 425000,
     .logFile = true,
     .started = 2,
     .done = 1},
    {.name = "WillNotPassIsNotTriedAgain",
     .jobs = {{"A", OpenFails(false)}},
     .calls = {"D1", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "failed") + kConnect + Start(102, "D2", "B") +
            End("D2", "done"),
     .endMs = 103000,
     .logFile = true,
     .started = 2,
     .done = 1},
    {.name = "NextLetsTheJobItReleasesGo",
     .jobs = {{"A", OpenFails(true)}, {"B", Refuse(0, 1)}},
     .pressAtMs = 10500,
     .button = IDC_NEXT,
     .calls = {"D1", "D2", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "failed") + kConnect + Start(11, "D2", "B") +
            End("D2", "refused") + Round(12, 60, 1, 1) + Start(72, "D2", "B") + End("D2", "done"),
     .endMs = 73000,
     .logFile = true,
     .started = 2,
     .done = 1},
    {.name = "LongestRetryAfterOver60sIsWaited",
     .jobs = {{"A", Refuse(120, 1)}, {"B", Refuse(30, 1)}},
     .calls = {"D1", "D2", "D1", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") +
            End("D2", "refused") + Round(3, 120, 1, 2) + Start(123, "D1", "A") + End("D1", "done") +
            Start(124, "D2", "B") + End("D2", "done"),
     .endMs = 125000,
     .logFile = true,
     .started = 2,
     .done = 2},
    {.name = "RetryAfterPast10MinutesWaits10",
     .jobs = {{"A", Refuse(3600, 1)}},
     .calls = {"D1", "D2", "D1"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") + End("D2", "done") +
            Round(3, 600, 1, 1) + Start(603, "D1", "A") + End("D1", "done"),
     .endMs = 604000,
     .logFile = true,
     .started = 2,
     .done = 2},
    {.name = "NextDuringTheWaitStartsTheRound",
     .jobs = {{"A", Refuse(0, 1)}},
     .pressAtMs = 20500,
     .button = IDC_NEXT,
     .calls = {"D1", "D2", "D1"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") + End("D2", "done") +
            Round(3, 60, 1, 1) + kConnect + Start(21, "D1", "A") + End("D1", "done"),
     .endMs = 22000,
     .logFile = true,
     .started = 2,
     .done = 2},
    {.name = "AbortDuringTheWaitEndsTheBatch",
     .jobs = {{"A", Refuse()}},
     .pressAtMs = 30500,
     .button = IDC_ABORT,
     .calls = {"D1", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") + End("D2", "done") +
            Round(3, 60, 1, 1) + Sj("中止しました\r\n"),
     .endMs = 30500,
     .logFile = false,
     .started = 2,
     .done = 1},
    {.name = "DeadlineDuringTheWaitEndsTheBatch",
     .jobs = {{"A", Refuse()}},
     .deadlineMs = 30000,
     .calls = {"D1", "D2"},
     .log = Start(1, "D1", "A") + End("D1", "refused") + Start(2, "D2", "B") + End("D2", "done") +
            Round(3, 60, 1, 1) + Sj("タイムオーバーにより終了しました\r\n"),
     .endMs = 30000,
     .logFile = true,
     .started = 2,
     .done = 1},
    {.name = "ListCheckIsNotRetried",
     .jobs = {{"A", Refuse()}},
     .check = true,
     .calls = {"C1", "C2"},
     .log = Start(1, "C1", "A") + End("C1", "refused") + Start(2, "C2", "B") + End("C2", "done"),
     .endMs = 3000,
     .logFile = true,
     .started = 2,
     .done = 1},
};

INSTANTIATE_TEST_SUITE_P(Batch, Rounds, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
