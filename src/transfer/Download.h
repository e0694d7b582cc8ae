// One download, in the phases it goes through: plan the save, open the URL, judge the first
// block, copy, finish. Lives for one call of Transfers::Download; every member is that job's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/File.h"
#include "platform/Host.h"
#include "platform/Internet.h"
#include "transfer/BatchNames.h"
#include "transfer/JobRunner.h"
#include "transfer/ProgressView.h"
#include "transfer/SaveRoute.h"

class DownloadJob {
  public:
    // REQUIRES: every reference outlives this object; session is open and closed by the caller
    // (it is also closed here as soon as the job no longer needs it).
    DownloadJob(Host& host, CInternetSession& session, BatchTargets& targets,
                const ProgressFactory& progress, const JobRequest& job, JobSink& sink);

    // Runs the job to its end. Errors of the first read, the rewind and the copy's reads go to
    // the caller (the error wrapper); the file, the session and the window are released first.
    JobResult Run();

  private:
    // The route of a partial copy of this URL that the open may continue; nullopt when the name
    // is not known before the open, or the save folder's text cannot be read.
    std::optional<SaveRoute> PlanEarly();
    // Opens the URL as `early` allows (the rest, or only if changed). A result: the job ended.
    std::optional<JobResult> Open(const std::optional<SaveRoute>& early);
    // Whether the resource is larger than 1 KB, judged from what is on disk and the first block.
    bool JudgeFirstBlock();
    // The final route, the progress window and the open save file. A result: the job ended.
    std::optional<JobResult> PrepareSave(const std::optional<SaveRoute>& early);
    // Copies every byte to the save file and completes it; the result of the job.
    JobResult CopyAndFinish();
    // An error status or a small file: nothing is written, the batch goes on.
    JobResult Refuse(JobFailure failure);
    // A line of this job: into the run log, and into the log box with the job's other lines.
    void LogLine(const std::string& text);
    void CloseConnection();

    Host& m_host;
    CInternetSession& m_session;
    BatchTargets& m_targets;
    const ProgressFactory& m_makeProgress;
    const JobRequest m_job;  // a copy: a reload served inside the copy may replace the table
    JobSink& m_sink;

    std::string m_display;  // the log box's text while the job runs: its own lines
    std::unique_ptr<CInternetFile> m_file;
    int64_t m_from = 0;  // byte of the resource the data starts at
    std::string m_name;  // the file name as saved (numbered within the batch)
    SaveRoute m_route;
    std::string m_validator;
    std::unique_ptr<ProgressView> m_progress;
    // `m_guard` holds an existing target while its replacement is written; declared first, so
    // that it is let go after the replacement's own file.
    CFile m_guard, m_out;
};
