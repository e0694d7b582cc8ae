// The batch's timers: the one-second tick that starts one job at a time, the watchdog, the timed
// start with its deadline, and the rate sample.
#include <ctime>

#include "batch/Batch.h"
#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "transfer/LogUrl.h"

void Batch::OnTick() {
    m_timeNow = m_host.Now();
    m_strClock = batch::FormatLocalTime(m_timeNow, Str(Sid::ClockFormat));
    m_host.SetDlgItemText(IDC_CLOCK, m_strClock);
    m_host.SetDlgItemText(IDC_STATE, Str(StateWord()));
    m_host.InvalidateRect(false);
    m_host.UpdateWindow();
    if (m_nightEnd && !m_nightEnd->Tick()) m_nightEnd.reset();
    if (m_nCursor > 0) Advance();
}

void Batch::Advance() {
    if (m_rounds.TickWait(m_bReady == 1)) {
        m_nCursor = 1;
        m_bReady = 1;
    }
    if (m_bReady != 1) return;
    m_bReady = 0;
    m_nCursor = m_rounds.NextSlot(m_jobs, m_nCursor);
    // Slot 101 is empty after every load, so a batch ends there at the latest.
    if (m_jobs.IsEnd(m_nCursor)) {
        if (BeginRound()) return;
        m_nCursor = 0;
        ReportBatchEnd(false);
        SaveLog();
        m_host.SetDlgItemText(IDC_LOG, m_log.Text());
        m_host.InvalidateRect(true);
        // Only a download batch that ended by itself; not a check, 中止 or the deadline.
        if (m_bDownloadMode && m_afterNight)
            m_nightEnd =
                std::make_unique<NightEnd>(m_host, m_unattended.GetDesktop(), m_log, *m_afterNight);
        return;
    }
    // A password typed into the URL is not shown, as the log does not show it.
    m_host.SetDlgItemText(IDC_URL, UrlForLog(m_jobs[m_nCursor]));
    ++m_nCursor;
    m_host.SetTimer(TIMER_WATCHDOG, batch::kWatchdogMs);
    // The one place the log is cleared: each batch's log begins with its first job (a round's
    // first job is not the batch's).
    if (m_nCursor == 2 && m_rounds.Round() == 0) m_log.Clear();
    RunJob(m_nCursor - 1);
}

bool Batch::BeginRound() {
    if (!m_bDownloadMode) return false;
    const std::optional<Rounds::Start> start = m_rounds.Begin(m_jobs, m_tally);
    if (!start) return false;
    // The last job's watchdog has nothing left to release; each job of the round arms its own.
    m_host.KillTimer(TIMER_WATCHDOG);
    m_log.Append(FormatStr(Sid::LogRoundStart,
                           {m_strClock, std::to_string(start->waitS), std::to_string(start->round),
                            std::to_string(start->count)}));
    m_host.SetDlgItemText(IDC_LOG, m_log.Text());
    return true;
}

void Batch::ReportBatchEnd(bool timeOver) {
    // Before the log file is written: a box about it must not keep the machine awake, nor hold
    // back the notification.
    SyncSleepLock();
    m_unattended.BatchEnded(timeOver, m_bDownloadMode != 0, m_nTransfers, m_tally);
}

void Batch::OnWatchdog() {
    // A transfer that still has its URL open keeps the batch; only the line is added (and stays
    // among that transfer's lines if it is still copying).
    ++m_nWatchdogFirings;
    if (m_bIdle) m_bReady = 1;
    m_log.Append(Str(Sid::LogConnectFailed));
    m_host.KillTimer(TIMER_WATCHDOG);
}

void Batch::OnSchedule() {
    if (!m_bArmed) return;
    m_timeNow = m_host.Now();
    const time_t when = static_cast<time_t>(m_timeNow);
    struct tm local {};
    if (localtime_r(&when, &local) == nullptr) return;
    // Seconds and year are not compared; the 50 s period visits every minute at least once
    // while the thread takes messages, and disarming below keeps it to one start.
    if (batch::LeadingInteger(m_schedule.m_strMonth) != local.tm_mon + 1) return;
    if (batch::LeadingInteger(m_schedule.m_strDay) != local.tm_mday) return;
    if (batch::LeadingInteger(m_schedule.m_strHour) != local.tm_hour) return;
    if (batch::LeadingInteger(m_schedule.m_strMinute) != local.tm_min) return;
    m_bDownloadMode = 1;
    LoadJobTable();
    // Disarmed and the deadline armed whether or not the load succeeded.
    m_bArmed = 0;
    m_host.SetTimer(TIMER_DEADLINE, batch::DeadlinePeriodMs(m_schedule.m_strDuration));
}

void Batch::OnDeadline() {
    // Not bound to the batch it was armed for: it ends whatever batch runs now. A running
    // transfer is not interrupted and its closing lines miss the file written here.
    m_host.KillTimer(TIMER_DEADLINE);
    m_log.Append(Str(Sid::LogTimeOver));
    m_host.SetDlgItemText(IDC_LOG, Str(Sid::LogTimeOver));
    if (m_nCursor != 0) {
        m_nCursor = 0;
        ReportBatchEnd(true);
    }
    SaveLog();
}

void Batch::OnRateSample() {
    m_rate.Sample();
}
