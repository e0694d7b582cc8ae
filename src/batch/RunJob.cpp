// One job of a batch: the sequencer's tick starts it here, the transfer of the batch's mode runs
// it, and the outcome the transfer leaves is recorded for the batch (its tally, and which slot
// ended how). However the job ends, the batch can go on: its URL counts as closed afterwards.
#include <string>
#include <utility>

#include "batch/BatchRules.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

void CPomvexDlg::EndTransferNormally() {
    m_bReady = 1;
    m_bIdle = 1;
    m_host.InvalidateRect(true);
    m_host.UpdateWindow();
}

std::string CPomvexDlg::ReasonLine(const JobFailure& failure) {
    return failure.reason.empty() ? std::string() : FormatStr(Sid::LogReason, {failure.reason});
}

void CPomvexDlg::RunJob(int index) {
    const uint32_t serial = m_nBatchSerial;
    const bool download = m_bDownloadMode != 0;
    // A URL counts once, however many rounds it runs in; only its last outcome stands.
    if (m_jobOutcomes[static_cast<size_t>(index)] == JobOutcome::None) ++m_nJobsStarted;
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
    auto record = [&](JobOutcome outcome, JobFailure failure) {
        if (serial != m_nBatchSerial) return;
        m_jobOutcomes[static_cast<size_t>(index)] = outcome;
        m_jobFailures[static_cast<size_t>(index)] =
            CountsAsDone(outcome) ? JobFailure{} : std::move(failure);
        if (CountsAsDone(outcome)) ++m_nJobsDone;
    };
    JobResult result{JobOutcome::None};
    try {
        result = download ? DownloadItem(index) : CheckItem(index);
    } catch (const CException& e) {
        JobFailure failure = FailureOf(e);
        const std::string line = ReasonLine(failure);
        record(JobOutcome::Broken, std::move(failure));
        // During its batch the failure goes to the log, where the morning finds it beside its
        // URL; a pile of boxes would not say which URL each was about. A transfer the deadline
        // or 中止 left running has no batch any more: its failure gets the box.
        if (serial != m_nBatchSerial || m_nCursor == 0) throw;
        m_strLog += line;
        return;
    } catch (...) {
        record(JobOutcome::Broken, {});
        throw;
    }
    record(result.outcome, std::move(result.failure));
}
