// How one job of a batch ended, as the transfer leaves it for the batch. The batch decides from
// this value alone (the end-of-batch tally, and which URLs get another round), never from the
// log text, so a log line can be reworded without changing what the batch does.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Exceptions.h"

enum class JobOutcome : uint8_t {
    None,          // no job has ended in this slot of the current batch
    Done,          // every byte on disk (download) or the block read and logged (check)
    Refused,       // the server answered with an error status, or with 1 KB or less
    OpenFailed,    // the URL could not be opened (no answer, refused, name unknown, TLS, ...)
    CreateFailed,  // the save file could not be created
    FileError,     // writing the save file failed (full disk, I/O error)
    Broken,        // the transfer failed once open; its error went to the log or the box
    Cancelled,     // the user pressed the progress window's cancel
    UpToDate,      // the file on disk is the server's current version: nothing was transferred
};

// The job got what it was for: the end-of-batch tally counts it as done.
inline bool CountsAsDone(JobOutcome o) {
    return o == JobOutcome::Done || o == JobOutcome::UpToDate;
}

// Why a job that did not end Done ended so, beside its outcome.
struct JobFailure {
    bool mayPass = false;      // the cause may be gone in a while: worth another round
    uint32_t retryAfterS = 0;  // the server's Retry-After in seconds; 0: none given
    std::string reason;        // the run log's words for it (CP932, no line end); empty: none
};

// What a transfer returns to the batch: how its job ended and, for a failure, why.
struct JobResult {
    JobOutcome outcome = JobOutcome::None;
    JobFailure failure;  // empty for Done and UpToDate, and for a failure of no known cause

    // Implicit: a job that ends without a cause to give returns its outcome alone.
    JobResult(JobOutcome o, JobFailure f = {}) : outcome(o), failure(std::move(f)) {}
};

inline JobFailure FailureOf(const CInternetException& e) {
    return {e.m_bMayPass, e.m_nRetryAfter,
            e.m_strReason.empty() ? e.GetErrorMessage() : e.m_strReason};
}

// Any other failure will not pass by itself: its reason is the box's text.
inline JobFailure FailureOf(const CException& e) {
    if (const auto* net = dynamic_cast<const CInternetException*>(&e)) return FailureOf(*net);
    return {false, 0, e.GetErrorMessage()};
}

// The log line that gives a failure's reason ("理由 ..."); empty when it has none.
std::string ReasonLine(const JobFailure& failure);
