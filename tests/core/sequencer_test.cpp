// The sequencer on the virtual clock: every transition of the batch state, the timers nested in a
// long download, the schedule and its deadline, and what the user sees (log, state line, URL).
// The transfers are the stand-in of batch_support.h; its lines are the bracketed ASCII ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_support.h"
#include "resources/Strings.h"

namespace {

using batch_test::BatchTest;
using batch_test::Behaviour;
using batch_test::ClockAt;
using Calls = std::vector<std::string>;

const std::string& kConnect = Str(Sid::LogConnectFailed);
const std::string& kTimeOver = Str(Sid::LogTimeOver);
const std::string& kAborted = Str(Sid::LogAborted);

std::string Started(const std::string& clock, const std::string& tag, const std::string& url) {
    return clock + " [" + tag + " " + url + "]\r\n";
}
std::string Done(const std::string& tag) {
    return "[" + tag + " done]\r\n";
}
std::string Failed(const std::string& tag) {
    return "[" + tag + " failed]\r\n";
}

class Sequencer : public BatchTest {
  protected:
    void Tick() { host.Advance(1000); }
    // Starts a download batch of `list` by the Get button.
    void Get(const std::string& list) {
        SetList(list);
        dlg->OnCommand(IDC_GET, false);
    }
    // Sets the five schedule combos and presses "あとでGet".
    void Arm(const char* month, const char* day, const char* hour, const char* minute,
             const char* duration) {
        host.texts[IDC_MONTH] = month;
        host.texts[IDC_DAY] = day;
        host.texts[IDC_HOUR] = hour;
        host.texts[IDC_MINUTE] = minute;
        host.texts[IDC_DURATION] = duration;
        dlg->OnCommand(IDC_GET_LATER, false);
    }
    // Batch A, B, C whose job A ends the way `a` says; leaves the batch after job A's tick (t=1 s).
    void AfterJobA(Behaviour a) {
        runner.behaviours["A"] = a;
        Get("A\r\nB\r\nC\r\n");
        Tick();
        ASSERT_EQ(runner.calls, Calls{"D1"});
    }
    void ExpectBatch(int cursor, int ready, int idle) {
        EXPECT_EQ(dlg->batch().Cursor(), cursor);
        EXPECT_EQ(dlg->batch().Ready(), ready);
        EXPECT_EQ(dlg->batch().Idle(), idle);
    }
    // Count of SetTimer calls recorded for `id` with `ms`.
    int SetTimerCalls(unsigned id, uint32_t ms) {
        const std::string call = "SetTimer(" + std::to_string(id) + "," + std::to_string(ms) + ")";
        return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call));
    }
};

// ---------- any state: OnGet / OnCheckList ----------

TEST_F(Sequencer, Any_Get_LoadSucceeds_Due1) {
    Get("A\r\nB\r\n");
    ExpectBatch(1, 1, 1);
    EXPECT_EQ(dlg->batch().Downloading(), 1);
    EXPECT_EQ(dlg->batch().Job(1), "A");
    EXPECT_TRUE(runner.calls.empty()) << "nothing starts before the tick";
}

TEST_F(Sequencer, Any_CheckList_LoadSucceeds_Due1_ChecksEachEntry) {
    SetList("A\r\nB\r\n");
    dlg->OnCommand(IDC_CHECK_LIST, false);
    ExpectBatch(1, 1, 1);
    EXPECT_EQ(dlg->batch().Downloading(), 0);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(runner.calls, (Calls{"C1", "C2"}));
}

TEST_F(Sequencer, Any_Get_LoadFails_Unchanged) {
    AfterJobA({Behaviour::ErrorBeforeOpen});  // Waiting after job 1
    batch_test::RemoveTree(home.path());
    Get("X\r\n");
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TempCreateFailed));
    ExpectBatch(2, 0, 1);
    EXPECT_EQ(dlg->batch().Job(2), "B");
}

TEST_F(Sequencer, Waiting_Get_RestartsFromEntry1WithTheCurrentList) {
    AfterJobA({Behaviour::ErrorBeforeOpen});
    Get("X\r\nY\r\n");
    ExpectBatch(1, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1"))
        << "the log is cleared when entry 1 starts, not at the load";
    Tick();
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 2), "D1", "X") + Done("D1"));
    EXPECT_EQ(Shown(IDC_URL), "X");
}

// ---------- Due ----------

TEST_F(Sequencer, Due_Tick_EmptyEntry_EndsBatchAndWritesTheLog) {
    dlg->OnCommand(IDC_NEXT, false);  // a line from before
    Get("");
    Tick();
    ExpectBatch(0, 0, 1);
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(dlg->batch().Log(), kConnect) << "never cleared: the cursor never reached 2";
    EXPECT_EQ(LogFile(), kConnect);
    EXPECT_EQ(Shown(IDC_LOG), kConnect);
    ASSERT_GE(host.calls.size(), 3u);
    EXPECT_EQ(host.calls.back(), "Invalidate(1)");
}

TEST_F(Sequencer, Due_Tick_FirstLineEmpty_EndsAtOnce) {
    Get("\r\nB\r\n");
    Tick();
    ExpectBatch(0, 0, 1);
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(Sequencer, Due_Tick_Entry1_StartsJob_Running) {
    dlg->OnCommand(IDC_NEXT, false);  // a line from before
    runner.behaviours["A"] = {Behaviour::Normal, 1, 0};
    bool checked = false;
    runner.onBlock = [&](int index, int) {
        checked = true;
        EXPECT_EQ(index, 1);
        ExpectBatch(2, 0, 0);
        EXPECT_EQ(Shown(IDC_URL), "A");
        EXPECT_EQ(host.TimerDueIn(TIMER_WATCHDOG), 100000);
        EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A"))
            << "log cleared for entry 1";
        EXPECT_EQ(Shown(IDC_STATE), Str(Sid::StateDownloading));
    };
    Get("A\r\nB\r\n");
    Tick();
    EXPECT_TRUE(checked);
}

TEST_F(Sequencer, Due_Tick_Entry2_StartsJobWithoutClearingTheLog) {
    Get("A\r\nB\r\n");
    Tick();
    ExpectBatch(2, 1, 1);             // job A ended normally: Due(2)
    dlg->OnCommand(IDC_NEXT, false);  // a line between the jobs
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
    EXPECT_EQ(Shown(IDC_URL), "B");
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1") + kConnect +
                                      Started(ClockAt(0, 0, 2), "D2", "B") + Done("D2"));
    EXPECT_EQ(SetTimerCalls(TIMER_WATCHDOG, 100000), 2) << "re-armed at every job start";
    EXPECT_EQ(host.TimerDueIn(TIMER_WATCHDOG), 100000);
}

TEST_F(Sequencer, Due_Tick_BlankLineIsAJob) {
    Get("   \r\nB");
    Tick();
    EXPECT_EQ(runner.calls, Calls{"D1"});
    EXPECT_EQ(Shown(IDC_URL), "   ");
}

TEST_F(Sequencer, Due_OnNext_OnlyLogsAndStopsTheWatchdog) {
    Get("A\r\nB\r\n");
    Tick();  // A done: Due(2), watchdog running
    const std::string logBefore = dlg->batch().Log();
    const std::string shownBefore = Shown(IDC_LOG);
    dlg->OnCommand(IDC_NEXT, false);
    ExpectBatch(2, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), logBefore + kConnect);
    EXPECT_EQ(Shown(IDC_LOG), shownBefore) << "OnNext does not show the log";
    EXPECT_FALSE(host.TimerRunning(TIMER_WATCHDOG));
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
    EXPECT_TRUE(host.TimerRunning(TIMER_WATCHDOG)) << "the next start re-arms it";
}

TEST_F(Sequencer, Due_OnAbort_Idle) {
    Get("A\r\nB\r\n");
    Tick();
    dlg->OnCommand(IDC_ABORT, false);
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1") + kAborted);
    EXPECT_EQ(Shown(IDC_LOG), dlg->batch().Log());
    EXPECT_FALSE(LogFile()) << "abort writes no log file";
    Tick();
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

TEST_F(Sequencer, Due_Watchdog_LogsAndStops) {
    // A watchdog left from an earlier batch fires after Get, before the first tick.
    dlg->OnCommand(IDC_NEXT, false);  // a line from before
    host.SetTimer(TIMER_WATCHDOG, 100000);
    Get("A\r\n");
    dlg->OnTimerEvent(TIMER_WATCHDOG);
    ExpectBatch(1, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), kConnect + kConnect);
    EXPECT_FALSE(host.TimerRunning(TIMER_WATCHDOG));
    Tick();
    EXPECT_EQ(runner.calls, Calls{"D1"});
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1"))
        << "dropped when entry 1 starts";
}

TEST_F(Sequencer, Due_Deadline_Idle) {
    Get("A\r\nB\r\n");
    Tick();
    host.SetTimer(TIMER_DEADLINE, 0);
    host.Advance(10);
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1") + kTimeOver);
    EXPECT_EQ(Shown(IDC_LOG), kTimeOver) << "only the time-out line is shown";
    EXPECT_EQ(LogFile(), dlg->batch().Log());
    EXPECT_FALSE(host.TimerRunning(TIMER_DEADLINE));
    Tick();
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

// ---------- Running ----------

TEST_F(Sequencer, Running_NormalEnd_DueNext) {
    Get("A\r\nB\r\n");
    Tick();
    ExpectBatch(2, 1, 1);
    Tick();
    ExpectBatch(3, 1, 1);
    Tick();  // entry 3 empty: end
    ExpectBatch(0, 0, 1);
    EXPECT_EQ(LogFile(), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1") +
                             Started(ClockAt(0, 0, 2), "D2", "B") + Done("D2"));
    EXPECT_EQ(Shown(IDC_LOG), LogFile());
}

TEST_F(Sequencer, Running_Cancel_Idle) {
    runner.behaviours["A"] = {Behaviour::Cancel, 2, 500};
    Get("A\r\nB\r\n");
    Tick();
    ExpectBatch(0, 1, 1);
    EXPECT_FALSE(host.TimerRunning(TIMER_RATE));
    host.Advance(5000);
    EXPECT_EQ(runner.calls, Calls{"D1"});
    EXPECT_FALSE(LogFile()) << "a cancel writes no log file";
}

TEST_F(Sequencer, Running_ErrorBeforeOpen_WaitingIdle) {
    AfterJobA({Behaviour::ErrorBeforeOpen});
    ExpectBatch(2, 0, 1);
    host.Advance(99000);  // up to 100 s: the batch waits
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

TEST_F(Sequencer, Running_ErrorAfterOpen_WaitingIdle) {
    AfterJobA({Behaviour::ErrorAfterOpen});
    ExpectBatch(2, 0, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1"));
}

// During a batch the error goes to the log as the job's reason, not to a box.
TEST_F(Sequencer, Running_ErrorThrown_IsLoggedWithoutABoxAndWaits) {
    Behaviour thrown{Behaviour::ErrorAfterOpen};
    thrown.throws = true;
    AfterJobA(thrown);
    ExpectBatch(2, 0, 1);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(dlg->batch().Log(),
              Started(ClockAt(0, 0, 1), "D1", "A") + Sj("理由 stand-in failure\r\n"));
}

TEST_F(Sequencer, Running_Watchdog_UrlOpen_OnlyLogs) {
    // 120 one-second blocks: the watchdog (armed at 1 s) fires at 101 s inside the copy.
    runner.behaviours["A"] = {Behaviour::Normal, 120, 1000};
    bool sawLine = false;
    runner.onBlock = [&](int, int block) {
        if (block == 100) {
            EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + kConnect);
            EXPECT_EQ(dlg->batch().Ready(), 0) << "an open transfer keeps the batch";
            EXPECT_FALSE(host.TimerRunning(TIMER_WATCHDOG));
            sawLine = true;
        }
    };
    Get("A\r\nB\r\n");
    Tick();
    EXPECT_TRUE(sawLine);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + kConnect + Done("D1"));
    ExpectBatch(2, 1, 1);
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
}

TEST_F(Sequencer, Running_Deadline_EndsTheBatchWhileTheTransferFinishes) {
    runner.behaviours["A"] = {Behaviour::Normal, 10, 1000};
    host.SetTimer(TIMER_DEADLINE, 5500);  // fires 4.5 s into the copy of A (started at 1 s)
    bool sawDeadline = false;
    runner.onBlock = [&](int, int block) {
        if (block == 5) {
            sawDeadline = true;
            ExpectBatch(0, 0, 0);
            EXPECT_EQ(Shown(IDC_LOG), kTimeOver);
            EXPECT_EQ(LogFile(), Started(ClockAt(0, 0, 1), "D1", "A") + kTimeOver);
        }
    };
    Get("A\r\nB\r\n");
    Tick();
    EXPECT_TRUE(sawDeadline);
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + kTimeOver + Done("D1"));
    EXPECT_EQ(LogFile(), Started(ClockAt(0, 0, 1), "D1", "A") + kTimeOver)
        << "the closing lines miss the file the deadline wrote";
    host.Advance(5000);
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

TEST_F(Sequencer, Running_TickNested_StartsNothingAndTheClockRuns) {
    runner.behaviours["A"] = {Behaviour::Normal, 5, 1000};
    size_t clocksBefore = 0;
    runner.onBlock = [&](int, int block) {
        if (block == 1) clocksBefore = host.textHistory.size();
        EXPECT_EQ(Shown(IDC_STATE), Str(Sid::StateDownloading));
    };
    Get("A\r\nB\r\n");
    Tick();
    EXPECT_EQ(runner.calls, Calls{"D1"});
    EXPECT_EQ(runner.maxDepth, 1);
    EXPECT_GT(host.textHistory.size(), clocksBefore);
    EXPECT_EQ(Shown(IDC_CLOCK), ClockAt(0, 0, 6)) << "five nested ticks ran during the copy";
    int nestedTicks = 0;
    for (const auto& [id, ms] : host.firings)
        if (id == TIMER_TICK && ms > 1000 && ms <= 6000) ++nestedTicks;
    EXPECT_EQ(nestedTicks, 5);
}

TEST_F(Sequencer, Running_RateSampleDuringTheCopy) {
    runner.behaviours["A"] = {Behaviour::Normal, 7, 1000};
    std::vector<int32_t> rates;
    runner.onBlock = [&](int, int) { rates.push_back(dlg->batch().GetRate().Rate()); };
    Get("A\r\n");
    Tick();
    // 1024 bytes a second; the sample at 3 s and 6 s after the copy began holds 3 blocks each.
    EXPECT_EQ(rates, (std::vector<int32_t>{0, 0, 1024, 1024, 1024, 1024, 1024}));
    EXPECT_FALSE(host.TimerRunning(TIMER_RATE));
}

TEST_F(Sequencer, Running_ScheduleMatch_StartsEntry1NestedInsideTheTransfer) {
    // Armed for 00:01; the check at 100 s (00:01:40) matches while A copies (1 s .. 121 s).
    Arm("11", "28", "0", "1", "2");
    runner.behaviours["A"] = {Behaviour::Normal, 120, 1000};
    bool sawDue = false;
    runner.onBlock = [&](int index, int block) {
        if (index == 1 && runner.depth == 1 && block == 99) {
            // Just after the match at 100 s, before the tick at 101 s.
            sawDue = dlg->batch().Cursor() == 1 && dlg->batch().Ready() == 1;
            EXPECT_EQ(dlg->batch().Armed(), 0);
            EXPECT_EQ(host.TimerPeriod(TIMER_DEADLINE), 7200000u);
            EXPECT_EQ(dlg->batch().Job(1), "N1");
        }
    };
    Get("A\r\n");
    SetList("N1\r\nN2\r\n");  // the list box as it is when the schedule matches
    Tick();
    EXPECT_TRUE(sawDue);
    EXPECT_EQ(runner.calls, (Calls{"D1", "D1", "D2"}));
    EXPECT_EQ(runner.maxDepth, 2) << "the new batch ran inside the copy of A";
    // A ends last, after the nested batch has ended and written the log.
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(LogFile(), Started(ClockAt(0, 1, 41), "D1", "N1") + Done("D1") +
                             Started(ClockAt(0, 1, 42), "D2", "N2") + Done("D2"));
    EXPECT_EQ(dlg->batch().Log(), *LogFile() + Done("D1"));
}

// ---------- Waiting ----------

TEST_F(Sequencer, Waiting_Watchdog_Idle_DueNext) {
    AfterJobA({Behaviour::ErrorBeforeOpen});
    const std::string shown = Shown(IDC_LOG);
    host.Advance(100000);
    // At 101 s both the tick (id 1) and the watchdog (id 2) are due; the tick runs first and
    // finds the batch not ready; the watchdog then raises it, and the tick at 102 s starts B.
    ExpectBatch(2, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1") + kConnect);
    EXPECT_EQ(Shown(IDC_LOG), shown) << "the watchdog does not show the log";
    EXPECT_FALSE(host.TimerRunning(TIMER_WATCHDOG));
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
    EXPECT_EQ(Shown(IDC_URL), "B");
}

// A transfer that broke after its URL opened no longer strands the batch: the watchdog releases
// it 100 s after the job started, or, when the watchdog already fired during a long download,
// 100 s after the break; the tick after it starts the next job.
TEST_F(Sequencer, Waiting_BrokenTransfer_TheWatchdogReleasesTheBatch) {
    Behaviour thrown{Behaviour::ErrorAfterOpen};
    thrown.throws = true;
    const struct {
        const char* what;
        Behaviour behaviour;
        int64_t breakAtMs;
        std::string logAfterStart;
    } cases[] = {
        {"logged", {Behaviour::ErrorAfterOpen}, 1000, Failed("D1") + kConnect},
        {"thrown", thrown, 1000, Sj("理由 stand-in failure\r\n") + kConnect},
        {"past the watchdog",
         {Behaviour::ErrorAfterOpen, 120, 1000},
         121000,
         kConnect + Failed("D1") + kConnect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        runner.behaviours["A"] = c.behaviour;
        Get("A\r\nB\r\n");
        const int64_t start = host.NowMs();
        runner.calls.clear();
        Tick();
        ASSERT_EQ(host.NowMs() - start, c.breakAtMs);
        const int s = static_cast<int>(start / 1000) + 1;  // the tick that started A
        const std::string log =
            Started(ClockAt(s / 3600, s / 60 % 60, s % 60), "D1", "A") + c.logAfterStart;
        ExpectBatch(2, 0, 1);
        host.Advance(100000);
        EXPECT_EQ(runner.calls, Calls{"D1"}) << "not before the watchdog";
        Tick();
        EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
        EXPECT_EQ(dlg->batch().Log().substr(0, log.size()), log);
        dlg->OnCommand(IDC_ABORT, false);
        host.Advance(200000);  // the old watchdog spends itself
    }
}

TEST_F(Sequencer, Waiting_OnNext_DueNext) {
    AfterJobA({Behaviour::ErrorAfterOpen});
    dlg->OnCommand(IDC_NEXT, false);
    ExpectBatch(2, 1, 1);
    EXPECT_FALSE(host.TimerRunning(TIMER_WATCHDOG));
    EXPECT_EQ(dlg->batch().Log(), Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1") + kConnect);
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D2"}));
}

TEST_F(Sequencer, Waiting_OnAbort_IdleAndTheWatchdogStillFires) {
    AfterJobA({Behaviour::ErrorBeforeOpen});
    dlg->OnCommand(IDC_ABORT, false);
    ExpectBatch(0, 0, 1);
    const std::string expected = Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1") + kAborted;
    EXPECT_EQ(Shown(IDC_LOG), expected);
    host.Advance(100000);
    EXPECT_EQ(dlg->batch().Log(), expected + kConnect);
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

TEST_F(Sequencer, Waiting_Deadline_Idle) {
    AfterJobA({Behaviour::ErrorAfterOpen});
    host.SetTimer(TIMER_DEADLINE, 3000);
    host.Advance(3000);
    ExpectBatch(0, 0, 1);
    EXPECT_EQ(LogFile(), Started(ClockAt(0, 0, 1), "D1", "A") + Failed("D1") + kTimeOver);
}

TEST_F(Sequencer, Waiting_ScheduleMatch_Due1) {
    AfterJobA({Behaviour::ErrorAfterOpen});
    Arm("11", "28", "0", "0", "1");
    SetList("N\r\n");
    host.Advance(49000);  // the check at 50 s, 00:00:50
    ExpectBatch(1, 1, 1);
    EXPECT_EQ(dlg->batch().Armed(), 0);
    EXPECT_EQ(dlg->batch().Downloading(), 1);
    EXPECT_EQ(host.TimerPeriod(TIMER_DEADLINE), 3600000u);
    Tick();
    EXPECT_EQ(runner.calls, (Calls{"D1", "D1"}));
    EXPECT_EQ(Shown(IDC_URL), "N");
}

// ---------- Idle ----------

TEST_F(Sequencer, Idle_OnNext_LogsOnly) {
    dlg->OnCommand(IDC_NEXT, false);
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(dlg->batch().Log(), kConnect);
    EXPECT_EQ(Shown(IDC_LOG), Str(Sid::LogPlaceholder));
    host.Advance(3000);
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(Sequencer, Idle_OnAbort_LogsAndShows) {
    dlg->OnCommand(IDC_ABORT, false);
    ExpectBatch(0, 0, 1);
    EXPECT_EQ(dlg->batch().Log(), kAborted);
    EXPECT_EQ(Shown(IDC_LOG), kAborted);
}

TEST_F(Sequencer, Idle_Watchdog_AfterTheLastJob_AddsAnUnshownLine) {
    Get("A\r\n");
    host.Advance(2000);  // A at 1 s, end of the batch at 2 s
    ASSERT_EQ(dlg->batch().Cursor(), 0);
    const std::string written = *LogFile();
    host.Advance(99000);  // watchdog at 101 s
    EXPECT_EQ(dlg->batch().Log(), written + kConnect);
    EXPECT_EQ(LogFile(), written) << "neither written";
    EXPECT_EQ(Shown(IDC_LOG), written) << "nor shown";
    EXPECT_EQ(dlg->batch().Ready(), 1);
    EXPECT_EQ(dlg->batch().Cursor(), 0);
}

TEST_F(Sequencer, Idle_Deadline_WritesTheLog) {
    dlg->OnCommand(IDC_NEXT, false);  // a line from before
    host.SetTimer(TIMER_DEADLINE, 0);
    host.Advance(10);
    ExpectBatch(0, 1, 1);
    EXPECT_EQ(LogFile(), kConnect + kTimeOver);
}

TEST_F(Sequencer, Idle_ScheduleMatch_Due1_AndLoadFailureStillDisarms) {
    Arm("11", "28", "0", "0", "1");
    batch_test::RemoveTree(home.path());
    SetList("N\r\n");
    host.Advance(50000);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TempCreateFailed));
    ExpectBatch(0, 0, 1);
    EXPECT_EQ(dlg->batch().Armed(), 0);
    EXPECT_EQ(host.TimerPeriod(TIMER_DEADLINE), 3600000u) << "armed whether or not the load worked";
}

TEST_F(Sequencer, Any_OnGetLater_CapturesAndToggles) {
    Arm("11", "28", "3", "40", "2");
    EXPECT_EQ(dlg->batch().Armed(), 1);
    EXPECT_EQ(dlg->batch().GetSchedule().m_strMonth, "11");
    EXPECT_EQ(dlg->batch().GetSchedule().m_strDay, "28");
    EXPECT_EQ(dlg->batch().GetSchedule().m_strHour, "3");
    EXPECT_EQ(dlg->batch().GetSchedule().m_strMinute, "40");
    EXPECT_EQ(dlg->batch().GetSchedule().m_strDuration, "2");
    Arm("1", "2", "4", "5", "9x");  // the disarming press captures afresh too
    EXPECT_EQ(dlg->batch().Armed(), 0);
    EXPECT_EQ(dlg->batch().GetSchedule().m_strMonth, "1");
    EXPECT_EQ(dlg->batch().GetSchedule().m_strDuration, "9x");
    ExpectBatch(0, 0, 1);
}

// ---------- the schedule ----------

TEST_F(Sequencer, Schedule_NextMinuteFiresExactlyOnce) {
    // Minute 5 holds two checks (300 s and 350 s); only the first starts a batch.
    Arm("11", "28", "0", "5", "1");
    SetList("A\r\n");
    host.Advance(299000);
    EXPECT_EQ(dlg->batch().Armed(), 1);
    EXPECT_EQ(SetTimerCalls(TIMER_DEADLINE, 3600000), 0);
    host.Advance(1000);
    EXPECT_EQ(dlg->batch().Armed(), 0);
    ExpectBatch(1, 1, 1);
    host.Advance(600000);
    EXPECT_EQ(SetTimerCalls(TIMER_DEADLINE, 3600000), 1);
    EXPECT_EQ(runner.calls, Calls{"D1"});
    EXPECT_EQ(LogFile(), Started(ClockAt(0, 5, 1), "D1", "A") + Done("D1"));
}

TEST_F(Sequencer, Schedule_ComparesLeadingIntegers) {
    Arm(" 11", "+28x", "00", "1 hour", "1");
    SetList("A\r\n");
    host.Advance(100000);  // 00:01:40
    EXPECT_EQ(dlg->batch().Armed(), 0);
    EXPECT_EQ(dlg->batch().Cursor(), 1);
}

TEST_F(Sequencer, Schedule_YearIsNotCompared_PastDateWaitsForNextYear) {
    Arm("11", "27", "0", "0", "1");  // yesterday
    host.Advance(3600000);
    EXPECT_EQ(dlg->batch().Armed(), 1);
    host.SetNow(1795824000 + 364 * 86400);  // 2027-11-27 00:00:00
    SetList("A\r\n");
    host.Advance(50000);
    EXPECT_EQ(dlg->batch().Armed(), 0);
    EXPECT_EQ(dlg->batch().Cursor(), 1);
}

TEST_F(Sequencer, Schedule_MinuteMissedWhileBusyStaysArmed) {
    Arm("11", "28", "0", "5", "1");
    host.Advance(289000);
    // A check that keeps the thread busy from 00:04:50 to 00:06:10 hides both checks of minute 5.
    runner.behaviours["A"] = {Behaviour::Normal, 0, 0, 80000};
    SetList("A\r\n");
    dlg->OnCommand(IDC_CHECK_LIST, false);
    host.Advance(1000);
    EXPECT_EQ(host.NowMs(), 370000);
    host.Advance(60000);
    EXPECT_EQ(dlg->batch().Armed(), 1);
    EXPECT_FALSE(host.TimerRunning(TIMER_DEADLINE));
    int checks = 0;
    for (const auto& [id, ms] : host.firings)
        if (id == TIMER_SCHEDULE && ms > 290000 && ms <= 430000) ++checks;
    EXPECT_EQ(checks, 2) << "the two overdue checks fire once, at 370 s, then at 420 s";
    EXPECT_EQ(runner.calls, Calls{"C1"});
}

TEST_F(Sequencer, Schedule_ArmingTwiceDisarms) {
    Arm("11", "28", "0", "1", "1");
    Arm("11", "28", "0", "1", "1");
    SetList("A\r\n");
    host.Advance(200000);
    EXPECT_EQ(dlg->batch().Armed(), 0);
    ExpectBatch(0, 0, 1);
    EXPECT_FALSE(host.TimerRunning(TIMER_DEADLINE));
}

TEST_F(Sequencer, Schedule_ZeroDeadlineEndsTheScheduledBatchAtOnce) {
    for (const char* duration : {"0", "x", "-3", ""}) {
        SCOPED_TRACE(std::string("duration \"") + duration + "\"");
        host.calls.clear();
        runner.calls.clear();
        Arm("11", "28", "0", "", duration);  // an empty minute reads as 0
        SetList("A\r\nB\r\n");
        host.AdvanceUntil([&] { return dlg->batch().Armed() == 0; }, 60000);
        ASSERT_EQ(dlg->batch().Armed(), 0);
        EXPECT_EQ(SetTimerCalls(TIMER_DEADLINE, 0), 1);
        host.Advance(10);  // the 0 ms deadline's first chance, before the next tick
        ExpectBatch(0, 1, 1);
        EXPECT_EQ(*LogFile(), dlg->batch().Log());
        EXPECT_EQ(dlg->batch().Log().substr(dlg->batch().Log().size() - kTimeOver.size()),
                  kTimeOver);
        host.Advance(3000);
        EXPECT_TRUE(runner.calls.empty());
        // Back to minute 0 for the next row.
        host.SetNow(1795824000);
    }
}

TEST_F(Sequencer, Schedule_LateDeadlineEndsABatchStartedByHand) {
    Arm("11", "28", "0", "0", "1");
    SetList("A\r\n");
    host.Advance(50000);  // match at 50 s: deadline at 3650 s
    ASSERT_TRUE(RunToEnd());
    runner.behaviours["H"] = {Behaviour::ErrorAfterOpen};
    host.Advance(3590000);  // A ran at 51 s and the batch ended at 52 s: now 3642 s
    Get("H\r\nI\r\n");
    host.Advance(1000);  // H fails; the batch waits
    ASSERT_EQ(dlg->batch().Cursor(), 2);
    host.Advance(10000);  // past 3650 s
    ExpectBatch(0, 0, 1);
    EXPECT_EQ(LogFile(), Started(ClockAt(1, 0, 43), "D1", "H") + Failed("D1") + kTimeOver);
}

// ---------- what the user sees ----------

TEST_F(Sequencer, Display_ClockAndStateLine) {
    const std::string expectedClock =
        "11\x8C\x8E"
        "28\x93\xFA\x81\x40 00:00:01";
    Tick();
    EXPECT_EQ(Shown(IDC_CLOCK), expectedClock);
    EXPECT_EQ(dlg->batch().ClockText(), expectedClock);
    EXPECT_EQ(Shown(IDC_STATE), Sj("タイマー　OFF"));
    const std::vector<std::string> lastCalls(host.calls.end() - 2, host.calls.end());
    EXPECT_EQ(lastCalls, (std::vector<std::string>{"Invalidate(0)", "Update"}));

    Arm("12", "1", "0", "0", "1");
    Tick();
    EXPECT_EQ(Shown(IDC_STATE), Sj("タイマー作動中"));

    runner.behaviours["A"] = {Behaviour::ErrorBeforeOpen};
    SetList("A\r\nB\r\n");
    dlg->OnCommand(IDC_CHECK_LIST, false);
    Tick();  // C1 fails: waiting, armed
    Tick();
    EXPECT_EQ(Shown(IDC_STATE), Sj("チェック中")) << "the batch hides the armed state";
    Get("A\r\n");
    Tick();
    Tick();
    EXPECT_EQ(Shown(IDC_STATE), Sj("ダウンロード中"));
    dlg->OnCommand(IDC_ABORT, false);
    Tick();
    EXPECT_EQ(Shown(IDC_STATE), Sj("タイマー作動中"));
    EXPECT_EQ(Shown(IDC_CLOCK), ClockAt(0, 0, 7));
}

TEST_F(Sequencer, Display_LogFileFailureStillEndsTheBatch) {
    Get("A\r\n");
    Tick();
    batch_test::RemoveTree(home.path());
    Tick();
    ExpectBatch(0, 0, 1);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::FileCreateFailed));
    EXPECT_EQ(Shown(IDC_LOG), Started(ClockAt(0, 0, 1), "D1", "A") + Done("D1"));
}

TEST_F(Sequencer, Batch_OfMoreThan100LinesRunsTheFirst100) {
    std::string list;
    for (int i = 1; i <= 150; ++i) list.append("u").append(std::to_string(i)).append("\r\n");
    Get(list);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(runner.calls.size(), 100u);
    EXPECT_EQ(runner.calls.back(), "D100");
    EXPECT_EQ(Shown(IDC_URL), "u100");
    EXPECT_EQ(host.NowMs(), 101000) << "one job per tick, the end on the tick after the last";
}

TEST_F(Sequencer, Batch_EmptyLineInTheMiddleEndsIt) {
    Get("A\r\n\r\nC\r\n");
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(runner.calls, Calls{"D1"});
}

TEST_F(Sequencer, Timer_UnknownIdDoesNothing) {
    dlg->OnCommand(IDC_NEXT, false);  // a line from before
    dlg->OnTimerEvent(99);
    EXPECT_EQ(dlg->batch().Log(), kConnect);
    ExpectBatch(0, 1, 1);
}

}  // namespace
