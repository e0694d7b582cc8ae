#include "transfer/Transfers.h"

#include <utility>

#include "transfer/Download.h"

Transfers::Transfers(Host& host, InternetClient& internet, SessionOptions options,
                     ProgressFactory progress)
    : m_host(host),
      m_internet(internet),
      m_options(std::move(options)),
      m_progress(std::move(progress)) {}

JobResult Transfers::Download(const JobRequest& job, JobSink& sink) {
    std::unique_ptr<CInternetSession> session = m_internet.OpenSession(m_options);
    SessionCloser closer{*session};
    DownloadJob download(m_host, *session, m_batchTargets, m_progress, job, sink);
    return download.Run();
}
