// A download of one URL into the save folder, phase by phase (see Download.h).
#include "transfer/Download.h"

#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/CopyLoop.h"
#include "transfer/LogUrl.h"

namespace {

constexpr int64_t kAcceptBytes = 1000;

}  // namespace

DownloadJob::DownloadJob(Host& host, CInternetSession& session, BatchTargets& targets,
                         const ProgressFactory& progress, const JobRequest& job, JobSink& sink)
    : m_host(host),
      m_session(session),
      m_targets(targets),
      m_makeProgress(progress),
      m_job(job),
      m_sink(sink) {}

void DownloadJob::LogLine(const std::string& text) {
    m_sink.AppendLog(text);
    m_display += text;
    m_host.SetDlgItemText(IDC_LOG, m_display);
}

void DownloadJob::CloseConnection() {
    if (m_file) m_file->Close();
    m_session.Close();
}

JobResult DownloadJob::Run() {
    const std::string announce =
        m_sink.Clock() + "\r\n" + UrlForLog(m_job.url) + Str(Sid::LogWillDownload);
    m_sink.AppendLog(announce);
    m_display = "\r\n\r\n\r\n\r\n" + announce;
    m_host.SetDlgItemText(IDC_LOG, m_display);
    m_host.InvalidateRect(true);

    const std::optional<SaveRoute> early = PlanEarly();
    if (std::optional<JobResult> ended = Open(early)) return std::move(*ended);
    m_sink.UrlOpened();

    // The server vouched for the copy on disk: no data came, so there is no first block to
    // judge, and the file and its marks stay as they are.
    if (m_file->IsUnchanged()) {
        m_targets.Written(m_job.batch, early->target);
        LogLine(Str(Sid::LogSaveTo) + early->target + "\r\n" + m_sink.Clock() +
                Str(Sid::LogDoneSeparator) + Str(Sid::LogUpToDate));
        CloseConnection();
        return JobOutcome::UpToDate;
    }
    if (!JudgeFirstBlock()) {
        m_file->Close();
        return Refuse({});
    }
    if (std::optional<JobResult> ended = PrepareSave(early)) return std::move(*ended);
    return CopyAndFinish();
}

std::optional<SaveRoute> DownloadJob::PlanEarly() {
    // A partial copy of this URL in the save folder is continued: the name is known before the
    // open, and the folder text cannot change while the open takes no messages. A folder text
    // that cannot be read is left for the step that reads it.
    const std::string earlyName = m_session.FileNameOf(m_job.url);
    if (earlyName.empty()) return std::nullopt;
    try {
        const std::string folder = m_host.GetDlgItemText(IDC_SAVE_DIR);
        return PlanSave(
            JoinSavePath(folder, m_targets.NameFor(m_job.batch, folder, earlyName, m_job.slot)),
            m_job.url);
    } catch (const CTextException&) {
        return std::nullopt;
    }
}

std::optional<JobResult> DownloadJob::Open(const std::optional<SaveRoute>& early) {
    bool httpError = false;
    JobFailure failure;
    try {
        if (early && early->resume)
            m_file = m_session.OpenURLFrom(m_job.url, *early->resume);
        else if (early && !early->ifChanged.empty())
            m_file = m_session.OpenURLIfChanged(m_job.url, early->ifChanged);
        else
            m_file = m_session.OpenURL(m_job.url);
    } catch (const CInternetException& e) {
        httpError = e.m_dwError == INTERNET_ERROR_HTTP_STATUS;
        failure = FailureOf(e);
    } catch (const CFileException& e) {
        failure = FailureOf(e);
    }
    // An error page is not the resource the user asked for.
    if (httpError) return Refuse(std::move(failure));
    if (m_file) return std::nullopt;
    m_session.Close();
    LogLine(Str(Sid::LogConnectFailed) + ReasonLine(failure));
    return JobResult{JobOutcome::OpenFailed, std::move(failure)};
}

bool DownloadJob::JudgeFirstBlock() {
    // A read hands out what has arrived, and a server may send its first bytes in small pieces:
    // a 40 KB file whose first piece is 500 bytes is not "1 KB or less". So the first block is
    // filled up to the threshold unless the data ends first, as the blocking read it stands for
    // would be; a server that drips is bounded by the reader's stall limit and crawl floor.
    // A continued copy is judged as the whole file: what is on disk and the first block.
    m_from = m_file->GetStartOffset();
    auto tooSmall = [this](size_t n) { return m_from + static_cast<int64_t>(n) < kAcceptBytes; };
    char block[kBlockSize];
    size_t count = m_file->Read(block, kBlockSize);
    while (count > 0 && tooSmall(count)) {
        const size_t more = m_file->Read(block + count, kBlockSize - count);
        if (more == 0) break;
        count += more;
    }
    return !tooSmall(count);
}

JobResult DownloadJob::Refuse(JobFailure failure) {
    m_session.Close();
    LogLine(Str(Sid::LogRefused) + ReasonLine(failure));
    return {JobOutcome::Refused, std::move(failure)};
}

std::optional<JobResult> DownloadJob::PrepareSave(const std::optional<SaveRoute>& early) {
    m_file->SeekToBegin();
    const std::string folder = m_host.GetDlgItemText(IDC_SAVE_DIR);
    // A name an earlier job of this batch wrote is numbered: no URL's file replaces another's.
    const std::string target = JoinSavePath(
        folder, m_targets.NameFor(m_job.batch, folder, m_file->GetFileName(), m_job.slot));
    // The name as saved: the join cuts a name the folder cannot hold. No CP932 trail byte is '/'.
    m_name = target.substr(target.find_last_of('/') + 1);
    m_route = early && early->target == target ? *early : PlanSave(target, m_job.url);
    // The server sent the whole resource (it changed, or ignores ranges): a fresh file, never
    // spliced onto the old bytes.
    if (m_from == 0) m_route.resume.reset();
    // The progress window counts the whole file; the rate only what arrives now.
    m_sink.Rate().Reset();

    m_progress = m_makeProgress();
    m_progress->Create();
    m_progress->SetStatus(Str(Sid::ProgressDownloading));

    CFileException createError(CFileException::none, target);
    if (!OpenSaveFile(m_route, m_from, m_out, m_guard, &createError)) {
        JobFailure cause = FailureOf(createError);
        m_sink.AppendLog(Str(Sid::LogCreateFailed) + ReasonLine(cause));
        CloseConnection();
        m_progress->DestroyWindow();
        return JobResult{JobOutcome::CreateFailed, std::move(cause)};
    }
    m_targets.Written(m_job.batch, m_route.target, m_job.slot);

    // Marked before the first byte, so that even a killed program leaves a marked file.
    m_validator = m_file->GetValidator();
    if (m_validator.empty() && m_route.resume) m_validator = m_route.resume->validator;
    MarkPartial(m_route, m_job.url, m_validator);

    std::string saveTo = Str(Sid::LogSaveTo) + target + "\r\n";
    if (m_from > 0) saveTo += FormatStr(Sid::LogResumeFrom, {std::to_string(m_from)});
    LogLine(saveTo);
    m_host.InvalidateRect(true);
    return std::nullopt;
}

JobResult DownloadJob::CopyAndFinish() {
    m_host.SetTimer(TIMER_RATE, 3000);
    FileWriter writer(m_out, kCopyBytes);
    // Keeps what arrived on disk when an error ends the copy, and stops the rate timer.
    auto endCopy = [&] {
        m_file->Close();
        try {
            writer.Flush();
        } catch (const CFileException&) {
        }
        try {
            m_out.Close();
        } catch (const CFileException&) {
        }
        m_host.KillTimer(TIMER_RATE);
        m_sink.Rate().Stop();
    };
    int64_t total = m_from;
    bool cancelled = false;
    try {
        cancelled = CopyBlocks(*m_file, writer, *m_progress, m_sink.Rate(), m_name, total);
        // Success is logged only once every byte is on disk, and the copy has taken the
        // target's place.
        writer.Flush();
        m_out.Close();
        if (!cancelled) CompleteSave(m_route, m_job.url, m_validator);
    } catch (const CFileException& e) {
        endCopy();
        m_session.Close();
        JobFailure cause = FailureOf(e);
        LogLine(Str(Sid::LogIoFailed) + ReasonLine(cause));
        m_progress->DestroyWindow();
        return {JobOutcome::FileError, std::move(cause)};
    } catch (...) {
        endCopy();
        throw;
    }

    m_host.KillTimer(TIMER_RATE);
    m_sink.Rate().Stop();
    if (cancelled) {
        CloseConnection();
        m_progress->DestroyWindow();
        return JobOutcome::Cancelled;
    }
    LogLine(m_sink.Clock() + Str(Sid::LogDoneSeparator) + Str(Sid::LogDownloadDone));
    CloseConnection();
    m_progress->DestroyWindow();
    return JobOutcome::Done;
}
