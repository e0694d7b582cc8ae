// The check of one URL: opens it, reads one block and logs how much is ready.
#include <memory>
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/LogUrl.h"
#include "transfer/Transfers.h"

JobResult Transfers::Check(const JobRequest& job, JobSink& sink) {
    SessionOptions uncapped = m_options;
    uncapped.limits.maxReceiveBytesPerSec = 0;
    std::unique_ptr<CInternetSession> session = m_internet.OpenSession(uncapped);
    SessionCloser closer{*session};

    sink.AppendLog(sink.Clock() + "\r\n" + UrlForLog(job.url) + Str(Sid::LogWillCheck));
    m_host.SetDlgItemText(IDC_LOG, sink.LogText());
    m_host.InvalidateRect(true);

    std::unique_ptr<CInternetFile> file;
    JobFailure failure;
    try {
        file = session->OpenURL(job.url);
    } catch (const CInternetException& e) {
        failure = FailureOf(e);
    } catch (const CFileException& e) {
        failure = FailureOf(e);
    }
    if (!file) {
        session->Close();
        sink.AppendLog(Str(Sid::LogConnectFailed) + ReasonLine(failure));
        // Shown at once: the user should not wait for the next line to learn of it.
        m_host.SetDlgItemText(IDC_LOG, sink.LogText());
        return {JobOutcome::OpenFailed, std::move(failure)};
    }
    sink.UrlOpened();

    // A failing read goes to the error wrapper; the file is released on the way out.
    char block[1024];
    file->Read(block, sizeof block);
    // The library's unsigned reply, written as a signed figure: the log's format for it.
    const int32_t figure = static_cast<int32_t>(file->QueryDataAvailable());

    std::string lines = Str(Sid::LogFileSize) + std::to_string(figure) + Str(Sid::LogBytesEol);
    // The figure above is what the library held, not the size; this is what the server said.
    if (const int64_t announced = file->GetAnnouncedSize(); announced >= 0)
        lines += FormatStr(Sid::LogAnnouncedSize, {std::to_string(announced)});
    sink.AppendLog(lines + Str(Sid::LogCheckDone));
    m_host.SetDlgItemText(IDC_LOG, sink.LogText());
    file->Close();
    session->Close();
    return JobOutcome::Done;
}
