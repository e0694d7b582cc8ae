// How the jobs of the current batch ended: the end-of-batch notification counts from this, and
// the rounds choose from it which jobs go again. Nothing of it is shown or logged.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "batch/JobTable.h"
#include "transfer/JobOutcome.h"

class Tally {
  public:
    // A new job table: a new batch serial, nothing started.
    void NewBatch() {
        ++m_nBatchSerial;
        m_nJobsStarted = 0;
        m_nJobsDone = 0;
        m_jobOutcomes.fill(JobOutcome::None);
        m_jobFailures.fill(JobFailure{});
    }
    // Job `slot` starts. A URL counts once, however many rounds it runs in.
    void Started(int slot) {
        if (m_jobOutcomes[Index(slot)] == JobOutcome::None) ++m_nJobsStarted;
    }
    // Job `slot` of batch `serial` ended so. A job of a batch that a reload overtook while it
    // ran belongs to no tally. Only its last outcome stands.
    void Record(uint32_t serial, int slot, JobOutcome outcome, JobFailure failure) {
        if (serial != m_nBatchSerial) return;
        m_jobOutcomes[Index(slot)] = outcome;
        m_jobFailures[Index(slot)] = CountsAsDone(outcome) ? JobFailure{} : std::move(failure);
        if (CountsAsDone(outcome)) ++m_nJobsDone;
    }

    uint32_t Serial() const { return m_nBatchSerial; }
    int32_t Started() const { return m_nJobsStarted; }
    int32_t Done() const { return m_nJobsDone; }
    JobOutcome Outcome(int slot) const { return m_jobOutcomes[Index(slot)]; }
    const JobFailure& Failure(int slot) const { return m_jobFailures[Index(slot)]; }

  private:
    static size_t Index(int slot) { return static_cast<size_t>(slot); }

    uint32_t m_nBatchSerial = 0;  // counts job-table loads: tells a job of this batch apart
    int32_t m_nJobsStarted = 0;   // jobs this batch started
    int32_t m_nJobsDone = 0;      // of those, jobs that CountsAsDone
    // How each job of this batch ended, by job-table slot; None until its job has ended.
    std::array<JobOutcome, JobTable::kSlots> m_jobOutcomes{};
    // Why each job that did not end Done ended so, by slot (of its last round).
    std::array<JobFailure, JobTable::kSlots> m_jobFailures{};
};
