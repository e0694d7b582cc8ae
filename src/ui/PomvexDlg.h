// CPomvexDlg: the main window's logic and the one state record every operation shares.
// Toolkit-free: it talks to the window only through Host, to the network only through
// InternetClient. Operations are grouped by subsystem; each group's folder holds its .cpp:
//   ui/        start-up, command table, closing data exchange, error wrapper, about box
//   batch/     sequencer and timers, job table and log file
//   transfer/  download and check of one URL
//   lists/     list files and the numbered-URL generator
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Desktop.h"
#include "platform/Host.h"
#include "platform/Internet.h"
#include "resources/Strings.h"
#include "transfer/BatchNames.h"
#include "transfer/JobOutcome.h"

class CPomvexDlg : public HostEvents {
  public:
    // REQUIRES: host and internet outlive this object.
    CPomvexDlg(Host& host, InternetClient& internet);
    ~CPomvexDlg() override = default;
    CPomvexDlg(const CPomvexDlg&) = delete;
    CPomvexDlg& operator=(const CPomvexDlg&) = delete;

    // ---- Application shell (ui/) ----

    // The window's initialisation: timers, program folder, start values, control defaults.
    // REQUIRES: the host's controls exist. Called once by the host before the window shows.
    bool OnInitDialog() override;
    // HostEvents: every call goes through the general message-error handler.
    void OnCommand(int id, bool fromMenu) override;
    void OnTimerEvent(unsigned id) override;
    // Closing data exchange with the 2-byte length checks. True: the window may close. While a
    // batch runs or the timer is armed, an exchange that passes first asks whether to end the
    // program; "いいえ" leaves every field as it was.
    bool OnOKCommand() override;
    // True: the window may close (while a batch runs or the timer is armed, after "はい").
    bool OnCancelCommand() override;
    void OnAbout();
    void OnExit();  // ends the process at once, status 0 (after "はい" while busy)
    // False when a batch runs or the timer is armed and the user answers "いいえ" to the
    // question whether to end the program; true at once otherwise.
    bool ConfirmEnd();

    // Runs `handler` under the general message-error handler: a failure ends the handler at
    // the failing step and is reported in a box; the caller goes on. fromMenu picks the text
    // shown when the failure has no description.
    void RunGuarded(const std::function<void()>& handler, bool fromMenu) override;

    // ---- Batch runner (batch/) ----

    void OnGet();
    void OnCheckList();
    void OnGetLater();
    void OnNext();
    void OnAbort();
    // One timer firing, ids TIMER_TICK .. TIMER_RATE.
    void OnTimer(unsigned id);
    // What the state line says now: a running batch's mode, else whether the timer is armed.
    Sid StateWord() const;
    // List box -> staging file -> job table; cursor 1 and ready 1 on success.
    void LoadJobTable();
    // m_strLog -> the log file.
    void SaveLog();
    // A logout, a shutdown or a kill is ending the program. A running batch ends here as its end
    // would end it: one line says why, and the log file is written; the transfer under way is
    // left as it stands, its partial file marked for the next run. True when a batch ran.
    bool OnEndedFromOutside();

    // ---- Unattended runs (batch/Unattended.cpp) ----

    // The desktop the sleep lock and the end-of-batch notification go to; NoDesktop() until set.
    // REQUIRES: desktop outlives this object. Set before the window's first event.
    void SetDesktop(Desktop& desktop) { m_desktop = &desktop; }
    // Holds the sleep lock while the timed start is armed, a batch runs or a transfer is still
    // open, and drops it otherwise. Called after every handler; never throws.
    void SyncSleepLock();

    // ---- Transfers (transfer/) ----
    // Virtual so that tests of the sequencer can stand in a transfer that keeps the same contract.

    // Each returns how the job ended and, for a failure, why; an error that goes to the error
    // wrapper leaves by throwing (the batch counts it as JobOutcome::Broken).
    // REQUIRES: 1 <= index <= 100 and m_strJobs[index] not empty.
    virtual JobResult DownloadItem(int index);
    virtual JobResult CheckItem(int index);

    // ---- List editing (lists/) ----

    void OnOpenList();
    void OnSaveList();
    void OnSerial();

    // ---- The state record (read and written directly by every operation) ----

    int32_t m_nRate = 0;                     // bytes per second over the last 3-second sample
    int64_t m_nBytesSinceSample = 0;         // bytes received since the last rate sample
    uint8_t m_bArmed = 0;                    // 1: the timed start is armed
    uint8_t m_bIdle = 1;                     // 1: no transfer has a URL open
    uint8_t m_bDownloadMode = 0;             // 1: a batch downloads; 0: it checks
    uint8_t m_bReady = 0;                    // 1: the next tick may start the job at m_nCursor
    int32_t m_nCursor = 0;                   // 0: no batch; else the next job-table slot to start
    std::array<std::string, 102> m_strJobs;  // slot 0 unused; first empty slot ends a batch
    std::string m_strLine;                   // line buffer of the job-table load
    std::string m_strLog;                    // the run log (CP932, CR LF lines)
    std::string m_strList;                   // work copy of the list box text
    std::string m_strClock;                  // the clock text of the last tick
    int64_t m_timeNow = 0;                   // seconds since 1970 UTC, 64-bit past 2038
    std::string m_strMonth, m_strDay, m_strHour, m_strMinute, m_strDuration;  // captured schedule
    std::string m_strListEdit;  // list text as the closing data exchange copied it
    // Tally of the batch for its end-of-batch notification (nothing of it is shown or logged).
    uint32_t m_nBatchSerial = 0;  // counts job-table loads: tells a job of this batch apart
    int32_t m_nJobsStarted = 0;   // jobs this batch started
    int32_t m_nJobsDone = 0;      // of those, jobs that CountsAsDone
    // How each job of this batch ended, by job-table slot; None until its job has ended.
    std::array<JobOutcome, 102> m_jobOutcomes{};
    // Why each job of this batch that did not end Done ended so, by slot (of its last round).
    std::array<JobFailure, 102> m_jobFailures{};
    // Further rounds over the jobs whose failure may pass (batch/Rounds.cpp); reset by a load.
    int32_t m_nRound = 0;                     // 0: the first pass; else the round run or awaited
    int32_t m_nRoundWait = 0;                 // ticks until that round starts; 0: no wait
    std::array<uint8_t, 102> m_bGoesAgain{};  // by slot: 1 when its job is in round m_nRound
    std::array<uint8_t, 102> m_bLetGo{};      // by slot: 1 when NEXT moved the batch past its job
    int32_t m_nTransfers = 0;                 // transfers on the stack (nested ones included)
    // 1: a batch ended by itself and its notification waits for the transfer that outlived it.
    uint8_t m_bNoticePending = 0;
    uint8_t m_bNoticeTimeOver = 0;    // of the waiting notification: cut off by the deadline
    uint8_t m_bNoticeDownload = 0;    // of the waiting notification: a download batch
    std::string m_strSleepWhy;        // why of the sleep lock held now; empty: none held
    uint32_t m_nWatchdogFirings = 0;  // watchdog firings so far: did one fire during this job?
    BatchTargets m_batchTargets;      // the files this batch's downloads wrote, by m_nBatchSerial
    // The log text whose failed write SaveLog last told in a box; nullopt once a write succeeds.
    std::optional<std::string> m_strLogUnsaved;

  protected:
    // The normal end of a transfer: the next tick may start the next job, no URL is open any
    // more, and the window is repainted with what the transfer left.
    void EndTransferNormally();
    // The log line that gives a failure's reason ("理由 ..."); empty when it has none.
    static std::string ReasonLine(const JobFailure& failure);
    // Starts job `index` with the transfer of the batch's mode and tallies its outcome. However
    // the transfer ends it leaves m_bIdle 1, and re-arms the watchdog when the job failed
    // (m_bReady still 0) after the watchdog had fired during it. Rethrows what the transfer
    // throws. REQUIRES: as DownloadItem.
    void RunJob(int index);
    // The batch has ended at its empty entry (timeOver false) or by the deadline: drops the
    // sleep lock if nothing else holds it and tells the desktop the batch's tally. A transfer
    // that outlives the batch (the deadline lets it finish) is counted first: the notification
    // waits until no transfer is on the stack.
    void ReportBatchEnd(bool timeOver);
    // Sends the waiting notification, if any, with the tally as it stands now. Never throws.
    void SendBatchNotice();

    // ---- Rounds (batch/Rounds.cpp) ----

    // A new job table: the first pass, nothing let go.
    void ResetRounds();
    // The batch has reached its empty entry: when a download batch has rounds left and jobs that
    // go again, marks them, logs the round line, stops the watchdog and starts the wait (true).
    // False: the batch ends here.
    bool BeginRoundWait();
    // On each tick of a running batch: counts the wait down; at its end, or when NEXT has raised
    // m_bReady, the round is due from slot 1 (cursor 1, ready 1).
    void TickRoundWait();
    // In a round, moves m_nCursor over the slots that do not go again, to the empty entry at most.
    void SkipToRoundSlot();
    // Whether the batch will go on with a round after its empty entry, with the job in
    // `runningSlot` ending with `running` (its outcome not recorded yet).
    bool RoundFollows(int runningSlot, const JobFailure& running) const;
    // NEXT: the job that holds the batch now goes in no further round.
    void LetGoOfWaitingJob();

    Host& m_host;                       // not owned
    InternetClient& m_internet;         // not owned
    Desktop* m_desktop = &NoDesktop();  // not owned; never null
};
