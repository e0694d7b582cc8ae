// The transfers a batch runs, one URL each: the download into the save folder and the check.
// They open a session of their own per job with the options they were given, talk to the window
// through the host (the log box, the save folder's text, the rate timer) and a progress window
// they make, and hand the batch nothing but their JobResult and the JobSink calls.
#pragma once

#include "platform/Host.h"
#include "platform/Internet.h"
#include "transfer/BatchNames.h"
#include "transfer/JobRunner.h"
#include "transfer/ProgressView.h"

class Transfers : public JobRunner {
  public:
    // REQUIRES: host and internet outlive this object. Every session opens with `options`.
    Transfers(Host& host, InternetClient& internet, SessionOptions options,
              ProgressFactory progress);

    // REQUIRES: job.url not empty; job.slot 1..100.
    JobResult Download(const JobRequest& job, JobSink& sink) override;
    JobResult Check(const JobRequest& job, JobSink& sink) override;

    // The receive-speed cap of the downloads from the next one on, bytes per second; 0: none.
    // A check is never capped.
    void SetRateCap(int64_t bytesPerSec) { m_options.limits.maxReceiveBytesPerSec = bytesPerSec; }
    int64_t RateCap() const { return m_options.limits.maxReceiveBytesPerSec; }

  private:
    Host& m_host;                 // not owned
    InternetClient& m_internet;   // not owned
    SessionOptions m_options;     // what every session opens with
    ProgressFactory m_progress;   // makes each download's progress window
    BatchTargets m_batchTargets;  // the files the current batch's downloads wrote
};
