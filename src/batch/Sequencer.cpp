// The sequencer: one job per one-second tick, the watchdog that releases a batch after a failed
// job, the timed start with its deadline, and the rate sampler. Everything runs on the UI thread;
// a download pumps messages, so any of these handlers may run nested inside the tick that
// started it. m_bReady (cleared before a job starts) is what keeps nested ticks from starting a
// second job, and m_bIdle keeps the watchdog from releasing a batch whose transfer is still open.
#include <ctime>

#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

void CPomvexDlg::OnGet() {
    m_bDownloadMode = 1;
    LoadJobTable();
}

void CPomvexDlg::OnCheckList() {
    m_bDownloadMode = 0;
    LoadJobTable();
}

void CPomvexDlg::OnGetLater() {
    // Captured on every press, the disarming one too; no range check, the combos are editable.
    m_strDuration = m_host.GetDlgItemText(IDC_DURATION);
    m_strMinute = m_host.GetDlgItemText(IDC_MINUTE);
    m_strHour = m_host.GetDlgItemText(IDC_HOUR);
    m_strDay = m_host.GetDlgItemText(IDC_DAY);
    m_strMonth = m_host.GetDlgItemText(IDC_MONTH);
    m_bArmed = m_bArmed ? 0 : 1;
}

void CPomvexDlg::OnNext() {
    // Neither m_bIdle nor m_nCursor is looked at: with no batch running this only logs.
    LetGoOfWaitingJob();
    m_bReady = 1;
    m_host.KillTimer(TIMER_WATCHDOG);
    m_strLog += Str(Sid::LogConnectFailed);
}

void CPomvexDlg::OnAbort() {
    // No timer is stopped and the log file is not written: a pending watchdog or deadline still
    // fires later and adds its line.
    m_nCursor = 0;
    m_bNoticePending = 0;  // the user is there
    m_strLog += Str(Sid::LogAborted);
    m_host.SetDlgItemText(IDC_LOG, m_strLog);
}

Sid CPomvexDlg::StateWord() const {
    // While a batch runs the mode replaces the timer state, armed or not.
    if (m_nCursor > 0) return m_bDownloadMode ? Sid::StateDownloading : Sid::StateChecking;
    return m_bArmed ? Sid::StateArmed : Sid::StateTimerOff;
}

void CPomvexDlg::OnTimer(unsigned id) {
    switch (id) {
        case TIMER_TICK: {
            m_timeNow = m_host.Now();
            m_strClock = batch::FormatLocalTime(m_timeNow, Str(Sid::ClockFormat));
            m_host.SetDlgItemText(IDC_CLOCK, m_strClock);
            m_host.SetDlgItemText(IDC_STATE, Str(StateWord()));
            m_host.InvalidateRect(false);
            m_host.UpdateWindow();

            if (m_nCursor <= 0) break;
            TickRoundWait();
            if (m_bReady != 1) break;
            m_bReady = 0;
            SkipToRoundSlot();
            // Slot 101 is empty after every load, so a batch ends there at the latest; the bound
            // check only guards against a cursor that no load produced.
            if (m_nCursor >= static_cast<int32_t>(m_strJobs.size()) ||
                m_strJobs[static_cast<size_t>(m_nCursor)].empty()) {
                if (BeginRoundWait()) break;
                m_nCursor = 0;
                ReportBatchEnd(false);
                SaveLog();
                m_host.SetDlgItemText(IDC_LOG, m_strLog);
                m_host.InvalidateRect(true);
                break;
            }
            m_host.SetDlgItemText(IDC_URL, m_strJobs[static_cast<size_t>(m_nCursor)]);
            ++m_nCursor;
            m_host.SetTimer(TIMER_WATCHDOG, batch::kWatchdogMs);
            // The one place the log is cleared: each batch's log begins with its first job (a
            // round's first job is not the batch's).
            if (m_nCursor == 2 && m_nRound == 0) m_strLog.clear();
            RunJob(m_nCursor - 1);
            break;
        }

        case TIMER_WATCHDOG:
            // A transfer that still has its URL open keeps the batch; only the line is added
            // (and stays among that transfer's lines if it is still copying).
            ++m_nWatchdogFirings;
            if (m_bIdle) m_bReady = 1;
            m_strLog += Str(Sid::LogConnectFailed);
            m_host.KillTimer(TIMER_WATCHDOG);
            break;

        case TIMER_SCHEDULE: {
            if (!m_bArmed) break;
            m_timeNow = m_host.Now();
            const time_t when = static_cast<time_t>(m_timeNow);
            struct tm local {};
            if (localtime_r(&when, &local) == nullptr) break;
            // Seconds and year are not compared; the 50 s period visits every minute at least
            // once while the thread takes messages, and disarming below keeps it to one start.
            if (batch::LeadingInteger(m_strMonth) != local.tm_mon + 1) break;
            if (batch::LeadingInteger(m_strDay) != local.tm_mday) break;
            if (batch::LeadingInteger(m_strHour) != local.tm_hour) break;
            if (batch::LeadingInteger(m_strMinute) != local.tm_min) break;
            m_bDownloadMode = 1;
            LoadJobTable();
            // Disarmed and the deadline armed whether or not the load succeeded.
            m_bArmed = 0;
            m_host.SetTimer(TIMER_DEADLINE, batch::DeadlinePeriodMs(m_strDuration));
            break;
        }

        case TIMER_DEADLINE:
            // Not bound to the batch it was armed for: it ends whatever batch runs now. A running
            // transfer is not interrupted and its closing lines miss the file written here.
            m_host.KillTimer(TIMER_DEADLINE);
            m_strLog += Str(Sid::LogTimeOver);
            m_host.SetDlgItemText(IDC_LOG, Str(Sid::LogTimeOver));
            if (m_nCursor != 0) {
                m_nCursor = 0;
                ReportBatchEnd(true);
            }
            SaveLog();
            break;

        case TIMER_RATE:
            m_nRate = batch::RateOfSample(m_nBytesSinceSample);
            m_nBytesSinceSample = 0;
            break;

        default:
            // Unknown ids go on to the default processing, which does nothing for timers.
            break;
    }
}
