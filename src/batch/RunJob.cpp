// One job of a batch: the tick starts it here, the runner runs it in the batch's mode, and the
// batch applies and records how it ended. However the job ends, the batch can go on: its URL
// counts as closed afterwards.
#include <string>
#include <utility>

#include "batch/Batch.h"
#include "batch/BatchRules.h"
#include "resources/Resource.h"

void Batch::EndTransferNormally() {
    m_bReady = 1;
    m_bIdle = 1;
    m_host.InvalidateRect(true);
    m_host.UpdateWindow();
}

void Batch::RunJob(int index) {
    const uint32_t serial = m_tally.Serial();
    const bool download = m_bDownloadMode != 0;
    m_tally.Started(index);
    struct OnStack {
        int32_t& depth;
        explicit OnStack(int32_t& d) : depth(d) { ++depth; }
        ~OnStack() { --depth; }
    } onStack{m_nTransfers};
    // However the job ends (normally, by an error it logs, or on its way to the error wrapper),
    // its URL is closed, so the watchdog may release the batch. A job that failed after the
    // watchdog had already spent itself on it (a download longer than its period) gets a fresh
    // one: a broken transfer never leaves the batch waiting for a button.
    struct JobEnd {
        Batch& batch;
        uint32_t firingsAtStart;
        ~JobEnd() {
            batch.m_bIdle = 1;
            if (batch.m_bReady == 0 && batch.m_nCursor != 0 &&
                batch.m_nWatchdogFirings != firingsAtStart)
                batch.m_host.SetTimer(TIMER_WATCHDOG, batch::kWatchdogMs);
        }
    } jobEnd{*this, m_nWatchdogFirings};

    const JobRequest job{m_jobs[index], index, serial};
    JobResult result{JobOutcome::None};
    try {
        result = download ? m_runner.Download(job, *this) : m_runner.Check(job, *this);
    } catch (const CException& e) {
        JobFailure failure = FailureOf(e);
        const std::string line = ReasonLine(failure);
        m_tally.Record(serial, index, JobOutcome::Broken, std::move(failure));
        // During its batch the failure goes to the log, where the morning finds it beside its
        // URL; a pile of boxes would not say which URL each was about. A transfer the deadline
        // or 中止 left running has no batch any more: its failure gets the box.
        if (serial != m_tally.Serial() || m_nCursor == 0) throw;
        m_log.Append(line);
        return;
    } catch (...) {
        m_tally.Record(serial, index, JobOutcome::Broken, {});
        throw;
    }
    EndJob(index, result);
    m_tally.Record(serial, index, result.outcome, std::move(result.failure));
}

void Batch::EndJob(int index, const JobResult& result) {
    switch (result.outcome) {
        case JobOutcome::Done:
        case JobOutcome::UpToDate:
            EndTransferNormally();
            break;
        case JobOutcome::Refused:
            EndTransferNormally();
            // The log file waits for a round that follows: it is written once, when the batch
            // has ended.
            if (m_jobs.IsEnd(index + 1) &&
                !(m_bDownloadMode && m_rounds.Follows(m_jobs, m_tally, index, result.failure))) {
                SaveLog();
                m_host.SetDlgItemText(IDC_LOG, m_log.Text());
            }
            break;
        case JobOutcome::Cancelled:
            // The user pressed 中止 in the progress window: the batch ends as by the button.
            m_bReady = 1;
            m_bIdle = 1;
            m_log.Append(Str(Sid::LogAborted));
            m_nCursor = 0;
            m_unattended.DropNotice();  // the user is there
            m_host.SetDlgItemText(IDC_LOG, m_log.Text());
            break;
        default:
            break;
    }
}
