// What an unattended batch needs from the desktop: the machine stays awake while a timed start
// waits or a batch runs, and the user learns the batch's tally when it ends by itself. The logic
// decides when; the Desktop only holds, drops and shows. The tally is counted from the outcomes
// the jobs leave (batch/RunJob.cpp), so it adds nothing to the log, the log file or any control.
#include <string>

#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

void CPomvexDlg::SyncSleepLock() {
    try {
        // A transfer that outlives its batch (the deadline or 中止 does not interrupt it) is still
        // a download that a sleeping machine would break.
        const bool running = m_nCursor != 0 || m_nTransfers > 0;
        const bool needed = running || m_bArmed;
        // A lock held stays held while anything still needs it, even when its why no longer
        // fits (the schedule starting its batch, a batch by hand while armed): changing the
        // why would mean dropping the lock first, and at that moment nothing would keep a
        // machine from sleeping.
        if (needed == !m_strSleepWhy.empty()) return;
        if (!needed) {
            m_desktop->ReleaseSleepLock();
            m_strSleepWhy.clear();
            return;
        }
        std::string why = Str(!running          ? Sid::SleepWhyScheduled
                              : m_bDownloadMode ? Sid::SleepWhyDownloading
                                                : Sid::SleepWhyChecking);
        m_desktop->HoldSleepLock(why);
        m_strSleepWhy = std::move(why);
    } catch (...) {
        // Only memory can run out here; the lock stays as it was and the batch goes on.
    }
}

void CPomvexDlg::ReportBatchEnd(bool timeOver) {
    // Before the log file is written: a box about it must not keep the machine awake, nor hold
    // back the notification.
    SyncSleepLock();
    m_bNoticePending = 1;
    m_bNoticeTimeOver = timeOver ? 1 : 0;
    m_bNoticeDownload = m_bDownloadMode;
    // Otherwise the handler around the transfer sends it once the transfer has returned.
    if (m_nTransfers == 0) SendBatchNotice();
}

void CPomvexDlg::SendBatchNotice() {
    if (!m_bNoticePending) return;
    m_bNoticePending = 0;
    try {
        const std::string what = Str(m_bNoticeDownload ? Sid::NoticeDownload : Sid::NoticeCheck);
        const std::string title =
            FormatStr(m_bNoticeTimeOver ? Sid::NoticeTimeOver : Sid::NoticeEnded, {what});
        const std::string body =
            FormatStr(m_bNoticeDownload ? Sid::NoticeDownloadTally : Sid::NoticeCheckTally,
                      {std::to_string(m_nJobsStarted), std::to_string(m_nJobsDone),
                       std::to_string(m_nJobsStarted - m_nJobsDone)});
        m_desktop->Notify(title, body);
    } catch (...) {
        // Only memory can run out here; the batch's end (log file, log box) must still happen.
    }
}
