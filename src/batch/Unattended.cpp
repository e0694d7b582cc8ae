// What an unattended batch needs from the desktop: the machine stays awake while a timed start
// waits or a batch runs, and the user learns the batch's tally when it ends by itself. The logic
// decides when; the Desktop only holds, drops and shows. The tally is read from what the
// transfers already log, so counting adds nothing to the log, the log file or any control.
#include <string>

#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

void CPomvexDlg::SyncSleepLock() {
    try {
        // A transfer that outlives its batch (the deadline or 中止 does not interrupt it) is still
        // a download that a sleeping machine would break.
        std::string why;
        if (m_nCursor != 0 || m_nTransfers > 0)
            why = Str(m_bDownloadMode ? Sid::SleepWhyDownloading : Sid::SleepWhyChecking);
        else if (m_bArmed)
            why = Str(Sid::SleepWhyScheduled);
        if (why == m_strSleepWhy) return;
        // Released before the next is asked for: never two locks at once.
        if (!m_strSleepWhy.empty()) m_desktop->ReleaseSleepLock();
        m_strSleepWhy.clear();
        if (why.empty()) return;
        m_desktop->HoldSleepLock(why);
        m_strSleepWhy = std::move(why);
    } catch (...) {
        // Only memory can run out here; the lock stays as it was and the batch goes on.
    }
}

void CPomvexDlg::RunJob(int index) {
    const uint32_t serial = m_nBatchSerial;
    const bool download = m_bDownloadMode != 0;
    ++m_nJobsStarted;
    struct OnStack {
        int32_t& depth;
        explicit OnStack(int32_t& d) : depth(d) { ++depth; }
        ~OnStack() { --depth; }
    } onStack{m_nTransfers};
    // However the job ends (normally, by an error it logs, or on its way to the error wrapper),
    // its URL is closed, so the watchdog may release the batch. A job that failed after the
    // watchdog had already spent itself on it (a download longer than its period) gets a fresh
    // one: a broken transfer never leaves the batch waiting for a button.
    const uint32_t firingsAtStart = m_nWatchdogFirings;
    struct JobEnd {
        CPomvexDlg& dlg;
        uint32_t firingsAtStart;
        ~JobEnd() {
            dlg.m_bIdle = 1;
            if (dlg.m_bReady == 0 && dlg.m_nCursor != 0 && dlg.m_nWatchdogFirings != firingsAtStart)
                dlg.m_host.SetTimer(TIMER_WATCHDOG, batch::kWatchdogMs);
        }
    } jobEnd{*this, firingsAtStart};
    if (download)
        DownloadItem(index);
    else
        CheckItem(index);
    // A transfer's success line is the last thing it logs. A job of an earlier batch that a
    // reload overtook while it copied belongs to no tally.
    const std::string success =
        download ? Str(Sid::LogDoneSeparator) + Str(Sid::LogDownloadDone) : Str(Sid::LogCheckDone);
    if (serial == m_nBatchSerial && m_strLog.ends_with(success)) ++m_nJobsDone;
}

void CPomvexDlg::ReportBatchEnd(bool timeOver) {
    // Before the log file is written: a box about it must not keep the machine awake.
    SyncSleepLock();
    try {
        const std::string what = Str(m_bDownloadMode ? Sid::NoticeDownload : Sid::NoticeCheck);
        const std::string title =
            FormatStr(timeOver ? Sid::NoticeTimeOver : Sid::NoticeEnded, {what});
        const std::string body =
            FormatStr(m_bDownloadMode ? Sid::NoticeDownloadTally : Sid::NoticeCheckTally,
                      {std::to_string(m_nJobsStarted), std::to_string(m_nJobsDone),
                       std::to_string(m_nJobsStarted - m_nJobsDone)});
        m_desktop->Notify(title, body);
    } catch (...) {
        // Only memory can run out here; the batch's end (log file, log box) must still happen.
    }
}
