// The batch's commands, its loads and what it tells the window.
#include "batch/Batch.h"

#include "resources/Resource.h"

Batch::Batch(Host& host, JobRunner& runner) : m_host(host), m_runner(runner) {}

void Batch::Start() {
    m_rate.Stop();
    m_nCursor = 0;
    m_bIdle = 1;
    m_bArmed = 0;
}

void Batch::Get() {
    m_bDownloadMode = 1;
    LoadJobTable();
}

void Batch::CheckList() {
    m_bDownloadMode = 0;
    LoadJobTable();
}

void Batch::GetLater() {
    // Captured on every press, the disarming one too; no range check, the combos are editable.
    m_schedule.m_strDuration = m_host.GetDlgItemText(IDC_DURATION);
    m_schedule.m_strMinute = m_host.GetDlgItemText(IDC_MINUTE);
    m_schedule.m_strHour = m_host.GetDlgItemText(IDC_HOUR);
    m_schedule.m_strDay = m_host.GetDlgItemText(IDC_DAY);
    m_schedule.m_strMonth = m_host.GetDlgItemText(IDC_MONTH);
    m_bArmed = m_bArmed ? 0 : 1;
}

void Batch::Next() {
    // Neither m_bIdle nor m_nCursor decides anything: with no batch running this only logs.
    // Only a job that holds the batch (ready 0, no round wait) is the one NEXT moves past, and
    // it goes in no further round.
    if (m_nCursor > 1 && m_bReady == 0 && !m_rounds.Waiting()) m_rounds.LetGo(m_nCursor - 1);
    m_bReady = 1;
    m_host.KillTimer(TIMER_WATCHDOG);
    m_log.Append(Str(Sid::LogConnectFailed));
}

void Batch::Abort() {
    // No timer is stopped and the log file is not written: a pending watchdog or deadline still
    // fires later and adds its line.
    m_nCursor = 0;
    m_nightEnd.reset();         // the user is there
    m_unattended.DropNotice();  // the user is there
    m_log.Append(Str(Sid::LogAborted));
    m_host.SetDlgItemText(IDC_LOG, m_log.Text());
}

Sid Batch::StateWord() const {
    // While a batch runs the mode replaces the timer state, armed or not.
    if (m_nCursor > 0) return m_bDownloadMode ? Sid::StateDownloading : Sid::StateChecking;
    return m_bArmed ? Sid::StateArmed : Sid::StateTimerOff;
}

void Batch::LoadJobTable() {
    if (!m_jobs.Load(m_host, m_host.GetDlgItemText(IDC_LIST))) return;
    m_nightEnd.reset();  // a new batch: the last one's countdown is over
    m_nCursor = 1;
    m_bReady = 1;
    // An earlier batch still waiting for its notification is told before its tally goes.
    m_unattended.SendNotice(m_tally);
    m_tally.NewBatch();
    m_rounds.Reset();
}

bool Batch::EndFromOutside() {
    if (m_nCursor == 0) return false;
    // Ended first: a second request while the log file's box is open finds no batch, and the
    // program ends at once.
    m_nCursor = 0;
    m_unattended.DropNotice();  // nobody would see it
    // Nothing is closed here: whatever the copy loop has written stays, with the partial mark
    // it carries from before its first byte, so the next run asks only for the rest.
    m_log.Append(Str(Sid::LogEndedFromOutside));
    SaveLog();
    return true;
}

void Batch::SyncSleepLock() {
    // A transfer that outlives its batch (the deadline or 中止 does not interrupt it) is still a
    // download that a sleeping machine would break.
    m_unattended.SyncSleepLock(m_nCursor != 0 || m_nTransfers > 0, m_bArmed != 0,
                               m_bDownloadMode != 0);
}

void Batch::AfterHandler() {
    SyncSleepLock();
    // A batch the deadline cut while a transfer copied is told once that transfer is back.
    if (m_nTransfers == 0) m_unattended.SendNotice(m_tally);
}
