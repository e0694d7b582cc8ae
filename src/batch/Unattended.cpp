#include "batch/Unattended.h"

#include "resources/Strings.h"

void Unattended::SyncSleepLock(bool running, bool armed, bool downloading) {
    try {
        const bool needed = running || armed;
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
        std::string why = Str(!running      ? Sid::SleepWhyScheduled
                              : downloading ? Sid::SleepWhyDownloading
                                            : Sid::SleepWhyChecking);
        m_desktop->HoldSleepLock(why);
        m_strSleepWhy = std::move(why);
    } catch (...) {
        // Only memory can run out here; the lock stays as it was and the batch goes on.
    }
}

void Unattended::BatchEnded(bool timeOver, bool download, int32_t transfers, const Tally& tally) {
    m_bNoticePending = 1;
    m_bNoticeTimeOver = timeOver ? 1 : 0;
    m_bNoticeDownload = download ? 1 : 0;
    // Otherwise the handler around the transfer sends it once the transfer has returned.
    if (transfers == 0) SendNotice(tally);
}

void Unattended::SendNotice(const Tally& tally) {
    if (!m_bNoticePending) return;
    m_bNoticePending = 0;
    try {
        const std::string what = Str(m_bNoticeDownload ? Sid::NoticeDownload : Sid::NoticeCheck);
        const std::string title =
            FormatStr(m_bNoticeTimeOver ? Sid::NoticeTimeOver : Sid::NoticeEnded, {what});
        const std::string body =
            FormatStr(m_bNoticeDownload ? Sid::NoticeDownloadTally : Sid::NoticeCheckTally,
                      {std::to_string(tally.Started()), std::to_string(tally.Done()),
                       std::to_string(tally.Started() - tally.Done())});
        m_desktop->Notify(title, body);
    } catch (...) {
        // Only memory can run out here; the batch's end (log file, log box) must still happen.
    }
}
