// The batch runner: the job table and the cursor that walks it, one job per one-second tick,
// the watchdog that releases a batch after a failed job, the timed start with its deadline, the
// rounds, the run log, the rate sample and the tally. The window forwards its buttons and timers
// here; the jobs run on a JobRunner, which sees the batch only as a JobSink.
//
// Everything runs on the UI thread, and a download pumps messages, so any handler here may run
// nested inside the tick that started the job. m_bReady (cleared before a job starts) keeps
// nested ticks from starting a second job, and m_bIdle keeps the watchdog from releasing a batch
// whose transfer still has its URL open.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "batch/JobTable.h"
#include "batch/NightEnd.h"
#include "batch/Rounds.h"
#include "batch/RunLog.h"
#include "batch/Tally.h"
#include "batch/Unattended.h"
#include "platform/Desktop.h"
#include "platform/Host.h"
#include "resources/Strings.h"
#include "transfer/JobRunner.h"
#include "transfer/RateMeter.h"

// The timed start as the user set it: the combo texts, read by their leading integer.
struct Schedule {
    std::string m_strMonth, m_strDay, m_strHour, m_strMinute, m_strDuration;
};

class Batch : private JobSink {
  public:
    // REQUIRES: host and runner outlive this object.
    Batch(Host& host, JobRunner& runner);
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // REQUIRES: desktop outlives this object. Set before the window's first event.
    void SetDesktop(Desktop& desktop) { m_unattended.SetDesktop(desktop); }

    // The window's start-up: no batch, no URL open, the timer off, an empty rate sample.
    void Start();

    // ---- Commands ----
    void Get();        // a download batch over the list box's lines
    void CheckList();  // a check batch over them
    void GetLater();   // captures the schedule's combos and arms or disarms the timed start
    void Next();       // moves a batch past the job that holds it (logs a line in any case)
    void Abort();      // ends the batch; a running transfer goes on to its end

    // ---- Timers (the window's ids TIMER_TICK .. TIMER_RATE) ----
    void OnTick();      // the clock; starts the next job, a round or the batch's end
    void OnWatchdog();  // a job has held the batch too long
    void OnSchedule();  // the timed start's minute has come
    void OnDeadline();  // the timed start's connection time is over
    void OnRateSample();

    // A logout, a shutdown or a kill ends the program. A running batch ends here as its end
    // would end it: one line says why, and the log file is written; the transfer under way is
    // left as it stands, its partial file marked. True when a batch ran.
    bool EndFromOutside();
    // After every handler of the window: the sleep lock follows the state, and a notification
    // that waited for a transfer goes out once none is on the stack. Never throws.
    void AfterHandler();

    // What follows a download batch that ended by itself (nullopt: nothing). Lasts until changed.
    void SetAfterNight(std::optional<PowerAction> action) { m_afterNight = action; }

    // ---- What the window and its peers may know ----
    bool Running() const { return m_nCursor != 0; }
    bool Armed() const { return m_bArmed != 0; }
    // What the state line says now: a running batch's mode, else whether the timer is armed.
    Sid StateWord() const;
    const Schedule& GetSchedule() const { return m_schedule; }
    // The closing data exchange writes the combos here (and puts them back on "いいえ").
    void SetSchedule(Schedule schedule) { m_schedule = std::move(schedule); }
    const std::string& Log() const { return m_log.Text(); }
    const std::string& ClockText() const { return m_strClock; }
    const std::string& Job(int slot) const { return m_jobs[slot]; }
    const Tally& GetTally() const { return m_tally; }
    int32_t Cursor() const { return m_nCursor; }
    bool Ready() const { return m_bReady != 0; }
    bool Idle() const { return m_bIdle != 0; }
    bool Downloading() const { return m_bDownloadMode != 0; }
    int32_t TransfersRunning() const { return m_nTransfers; }
    const RateMeter& GetRate() const { return m_rate; }

  private:
    // JobSink: what a running transfer may do to the batch.
    const std::string& Clock() const override { return m_strClock; }
    void AppendLog(const std::string& text) override { m_log.Append(text); }
    const std::string& LogText() const override { return m_log.Text(); }
    void UrlOpened() override { m_bIdle = 0; }
    RateMeter& Rate() override { return m_rate; }

    // List box -> staging file -> job table; cursor 1 and ready 1 on success.
    void LoadJobTable();
    // Starts job `index` with the transfer of the batch's mode, applies what its outcome ends
    // and tallies it. However the job ends it leaves m_bIdle 1, and re-arms the watchdog when
    // the job failed (m_bReady still 0) after the watchdog had fired during it. Rethrows what
    // the transfer throws. REQUIRES: 1 <= index <= 100 and the slot not empty.
    void RunJob(int index);
    // What a job's outcome ends: Done, UpToDate and Refused end it normally (a refusal that
    // ends the batch writes the log file); Cancelled ends the batch.
    void EndJob(int index, const JobResult& result);
    // The normal end of a transfer: the next tick may start the next job, no URL is open any
    // more, and the window is repainted with what the transfer left.
    void EndTransferNormally();
    // The tick's part once the clock is shown: the next job, a round or the batch's end.
    void Advance();
    // The batch has reached its empty entry: a round follows (true), or the batch ends.
    bool BeginRound();
    // The sleep lock follows the state: held while armed, while a batch or a transfer runs.
    void SyncSleepLock();
    // The batch has ended at its empty entry (timeOver false) or by the deadline.
    void ReportBatchEnd(bool timeOver);
    void SaveLog() { m_log.Save(m_host); }

    Host& m_host;         // not owned
    JobRunner& m_runner;  // not owned

    uint8_t m_bArmed = 0;             // 1: the timed start is armed
    uint8_t m_bIdle = 1;              // 1: no transfer has a URL open
    uint8_t m_bDownloadMode = 0;      // 1: a batch downloads; 0: it checks
    uint8_t m_bReady = 0;             // 1: the next tick may start the job at m_nCursor
    int32_t m_nCursor = 0;            // 0: no batch; else the next job-table slot to start
    std::string m_strClock;           // the clock text of the last tick
    int64_t m_timeNow = 0;            // seconds since 1970 UTC, 64-bit past 2038
    Schedule m_schedule;              // captured by GetLater (and the closing data exchange)
    int32_t m_nTransfers = 0;         // transfers on the stack (nested ones included)
    uint32_t m_nWatchdogFirings = 0;  // did the watchdog fire during this job?

    JobTable m_jobs;
    RunLog m_log;
    Tally m_tally;
    Rounds m_rounds;
    RateMeter m_rate;
    Unattended m_unattended;
    std::optional<PowerAction> m_afterNight;  // what follows a night's batch; nullopt: nothing
    std::unique_ptr<NightEnd> m_nightEnd;     // the countdown to it, while one runs
};
