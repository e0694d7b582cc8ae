// One job of a batch: the sequencer's tick starts it here, the transfer of the batch's mode runs
// it, and the outcome the transfer leaves is recorded for the batch (its tally, and which slot
// ended how). However the job ends, the batch can go on: its URL counts as closed afterwards.
#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "ui/PomvexDlg.h"

void CPomvexDlg::EndTransferNormally() {
    m_bReady = 1;
    m_bIdle = 1;
    m_host.InvalidateRect(true);
    m_host.UpdateWindow();
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
    // A job of an earlier batch that a reload overtook while it copied belongs to no tally.
    auto record = [&](JobOutcome outcome) {
        if (serial != m_nBatchSerial) return;
        m_jobOutcomes[static_cast<size_t>(index)] = outcome;
        if (outcome == JobOutcome::Done) ++m_nJobsDone;
    };
    JobOutcome outcome;
    try {
        outcome = download ? DownloadItem(index) : CheckItem(index);
    } catch (...) {
        record(JobOutcome::Broken);
        throw;
    }
    record(outcome);
}
