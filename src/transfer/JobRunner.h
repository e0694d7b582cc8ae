// What the batch hands a transfer and what it gets back: a request value in, a JobResult out.
// The batch owns every flag of its own; a transfer sees the batch only through JobSink, which
// it owns here so that the batch (above) implements it and nothing here includes the batch.
#pragma once

#include <cstdint>
#include <string>

#include "transfer/JobOutcome.h"
#include "transfer/RateMeter.h"

// One job of a batch.
struct JobRequest {
    std::string url;     // CP932, as the job table holds it (a copy: a reload may replace it)
    int slot = 0;        // its job-table slot, 1..100: names within a batch are tied to it
    uint32_t batch = 0;  // the serial of its batch: jobs of one serial share their names
};

// The batch as a running transfer sees it.
class JobSink {
  public:
    virtual ~JobSink() = default;
    // The clock text of the last tick. A tick may run nested while the transfer pumps, so it is
    // read where each line is written, never kept.
    virtual const std::string& Clock() const = 0;
    // Appends `text` (CP932, CR LF lines) to the run log.
    virtual void AppendLog(const std::string& text) = 0;
    // The whole run log as it stands.
    virtual const std::string& LogText() const = 0;
    // The job's URL is open: until the transfer returns, the watchdog must not release the
    // batch. Called at most once per job.
    virtual void UrlOpened() = 0;
    // The byte counter the rate timer samples and the progress window shows.
    virtual RateMeter& Rate() = 0;
};

// Runs one job. A transfer never changes the batch's state: it returns how the job ended, and
// the batch decides what that means (Done, UpToDate and Refused end the job normally; Cancelled
// ends the batch). An error meant for the error wrapper leaves by throwing; the batch counts it
// as JobOutcome::Broken.
class JobRunner {
  public:
    virtual ~JobRunner() = default;
    // One URL into the save folder, with the progress window.
    virtual JobResult Download(const JobRequest& job, JobSink& sink) = 0;
    // Opens the URL, reads one block and logs how much is ready.
    virtual JobResult Check(const JobRequest& job, JobSink& sink) = 0;
};
