// DownloadItem: one URL of the job table into the save folder, with the progress window.
#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/BatchNames.h"
#include "transfer/LogUrl.h"
#include "transfer/SaveRoute.h"
#include "transfer/TransferEnd.h"
#include "ui/PomvexDlg.h"
#include "ui/ProgressDlg.h"

namespace {

constexpr size_t kBlockSize = 1024;
constexpr int64_t kAcceptBytes = 1000;
// 64 blocks per write() call, and the most the copy loop takes from the reader at once. Larger
// buffers measured slower, not faster: a 1 MiB buffer no longer sits in the CPU cache when the
// kernel copies it into the page cache, and a 1 GiB download spent twice the system time of a
// 64 KiB one.
constexpr size_t kWriteBufferBytes = 64 * 1024;

}  // namespace

JobResult CPomvexDlg::DownloadItem(int index) {
    // A copy: a schedule match served inside the copy loop may reload the job table.
    const std::string url = m_strJobs[index];
    const uint32_t serial = m_nBatchSerial;

    std::unique_ptr<CInternetSession> session = m_internet.OpenSession(Str(Sid::SessionAgent));
    SessionCloser sessionCloser{*session};

    const std::string announce = m_strClock + "\r\n" + UrlForLog(url) + Str(Sid::LogWillDownload);
    m_strLog += announce;
    std::string display = "\r\n\r\n\r\n\r\n" + announce;
    m_host.SetDlgItemText(IDC_LOG, display);
    m_host.InvalidateRect(true);
    // A line of this job: into the run log, and into the log box with the job's other lines.
    auto logLine = [&](const std::string& text) {
        m_strLog += text;
        display += text;
        m_host.SetDlgItemText(IDC_LOG, display);
    };

    // A refusal ends the item normally: nothing is written, the batch goes on. `failure` is the
    // refusal by status, empty for a file of 1 KB or less. The log file waits for a round that
    // follows: it is written once, when the batch has ended.
    auto refuse = [&](const JobFailure& failure) {
        session->Close();
        logLine(Str(Sid::LogRefused) + ReasonLine(failure));
        EndTransferNormally();
        if (m_strJobs[index + 1].empty() && !RoundFollows(index, failure)) {
            SaveLog();
            m_host.SetDlgItemText(IDC_LOG, m_strLog);
        }
    };

    // A partial copy of this URL in the save folder is continued: the name is known before the
    // open, and the folder text cannot change while the open takes no messages. A folder text
    // that cannot be read is left for the step that reads it.
    std::optional<SaveRoute> early;
    if (const std::string earlyName = session->FileNameOf(url); !earlyName.empty()) {
        try {
            const std::string folder = m_host.GetDlgItemText(IDC_SAVE_DIR);
            early = PlanSave(
                JoinSavePath(folder, m_batchTargets.NameFor(serial, folder, earlyName, index)),
                url);
        } catch (const CTextException&) {
        }
    }

    std::unique_ptr<CInternetFile> file;
    bool httpError = false;
    JobFailure failure;
    try {
        if (early && early->resume)
            file = session->OpenURLFrom(url, *early->resume);
        else if (early && !early->ifChanged.empty())
            file = session->OpenURLIfChanged(url, early->ifChanged);
        else
            file = session->OpenURL(url);
    } catch (const CInternetException& e) {
        httpError = e.m_dwError == INTERNET_ERROR_HTTP_STATUS;
        failure = FailureOf(e);
    } catch (const CFileException& e) {
        failure = FailureOf(e);
    }
    if (httpError) {
        // An error page is not the resource the user asked for.
        refuse(failure);
        return {JobOutcome::Refused, std::move(failure)};
    }
    if (!file) {
        session->Close();
        logLine(Str(Sid::LogConnectFailed) + ReasonLine(failure));
        return {JobOutcome::OpenFailed, std::move(failure)};
    }
    m_bIdle = 0;

    // The server vouched for the copy on disk: no data came, so there is no first block to
    // judge, and the file and its marks stay as they are.
    if (file->IsUnchanged()) {
        m_batchTargets.Written(serial, early->target);
        logLine(Str(Sid::LogSaveTo) + early->target + "\r\n" + m_strClock +
                Str(Sid::LogDoneSeparator) + Str(Sid::LogUpToDate));
        file->Close();
        session->Close();
        EndTransferNormally();
        return JobOutcome::UpToDate;
    }

    // Errors of the first read and the rewind go to the error wrapper; the file, the session
    // and (later) the window are released on the way out.
    // A read hands out what has arrived, and a server may send its first bytes in small pieces:
    // a 40 KB file whose first piece is 500 bytes is not "1 KB or less". So the first block is
    // filled up to the threshold unless the data ends first, as the blocking read it stands for
    // would be; a server that drips is bounded by the reader's stall limit and crawl floor.
    // A continued copy is judged as the whole file: what is on disk and the first block.
    const int64_t from = file->GetStartOffset();
    auto tooSmall = [&](size_t n) { return from + static_cast<int64_t>(n) < kAcceptBytes; };
    char block[kBlockSize];
    size_t count = file->Read(block, kBlockSize);
    while (count > 0 && tooSmall(count)) {
        size_t more = file->Read(block + count, kBlockSize - count);
        if (more == 0) break;
        count += more;
    }
    if (tooSmall(count)) {
        file->Close();
        refuse({});
        return JobOutcome::Refused;
    }

    file->SeekToBegin();
    const std::string folder = m_host.GetDlgItemText(IDC_SAVE_DIR);
    // A name an earlier job of this batch wrote is numbered: no URL's file replaces another's.
    const std::string name = m_batchTargets.NameFor(serial, folder, file->GetFileName(), index);
    const std::string target = JoinSavePath(folder, name);
    SaveRoute route = early && early->target == target ? *early : PlanSave(target, url);
    // The server sent the whole resource (it changed, or ignores ranges): a fresh file, never
    // spliced onto the old bytes.
    if (from == 0) route.resume.reset();
    // The progress window counts the whole file; the rate only what arrives now.
    int64_t total = from;
    m_nBytesSinceSample = 0;
    m_nRate = 0;

    CProgressDlg progress(m_host, 0);
    progress.Create();
    progress.SetStatus(Str(Sid::ProgressDownloading));

    // `guard` holds an existing target while its replacement is written; declared first, so
    // that it is let go after the replacement's own file.
    CFile guard, out;
    CFileException createError(CFileException::none, target);
    if (!OpenSaveFile(route, from, out, guard, &createError)) {
        JobFailure cause = FailureOf(createError);
        m_strLog += Str(Sid::LogCreateFailed) + ReasonLine(cause);
        file->Close();
        session->Close();
        progress.DestroyWindow();
        return {JobOutcome::CreateFailed, std::move(cause)};
    }
    m_batchTargets.Written(serial, route.target, index);

    // Marked before the first byte, so that even a killed program leaves a marked file.
    std::string validator = file->GetValidator();
    if (validator.empty() && route.resume) validator = route.resume->validator;
    MarkPartial(route, url, validator);

    std::string saveTo = Str(Sid::LogSaveTo) + target + "\r\n";
    if (from > 0) saveTo += FormatStr(Sid::LogResumeFrom, {std::to_string(from)});
    logLine(saveTo);
    m_host.InvalidateRect(true);
    m_host.SetTimer(TIMER_RATE, 3000);

    FileWriter writer(out, kWriteBufferBytes);
    // Keeps what arrived on disk when a read error ends the call, and stops the rate timer.
    auto endCopy = [&](bool keepBytes) {
        if (keepBytes) {
            try {
                writer.Flush();
            } catch (const CFileException&) {
            }
        }
        try {
            out.Close();
        } catch (const CFileException&) {
        }
        m_host.KillTimer(TIMER_RATE);
        m_nBytesSinceSample = 0;
    };

    // The status line is rebuilt after every block: only the digits change, so it is edited in
    // place in one buffer instead of being concatenated (four allocations) each time.
    const std::string& bytes = Str(Sid::ProgressBytes);
    std::string status = name + Str(Sid::ProgressSaving);
    const size_t digitsAt = status.size();
    status.reserve(digitsAt + 20 + bytes.size());
    bool cancelled = false;
    // Only a reader without a buffer of its own fills this; the curl and file: readers hand out
    // views into theirs.
    const auto scratch = std::make_unique_for_overwrite<char[]>(kWriteBufferBytes);
    try {
        while (!cancelled) {
            // What the reader has ready, up to one write's worth: it goes to the file from the
            // reader's buffer (the writer keeps only short pieces), after the blocks it holds
            // have been counted one by one, each with its pump and its look at the cancel button.
            const auto span = file->ReadView(scratch.get(), kWriteBufferBytes);
            if (span.empty()) break;
            size_t counted = 0;
            while (counted < span.size() && !cancelled) {
                count = std::min(kBlockSize, span.size() - counted);
                counted += count;
                total += static_cast<int64_t>(count);
                m_nBytesSinceSample += static_cast<int64_t>(count);
                progress.SetPos(m_nRate);
                char digits[24];
                char* end = std::to_chars(digits, digits + sizeof digits, total).ptr;
                status.resize(digitsAt);
                status.append(digits, end).append(bytes);
                progress.SetStatus(status);
                cancelled = progress.CheckCancelButton();
            }
            writer.Write(span.data(), counted);  // a cancelled block stays, as it always did
        }
        // Success is logged only once every byte is on disk, and the copy has taken the
        // target's place.
        writer.Flush();
        out.Close();
        if (!cancelled) CompleteSave(route, url, validator);
    } catch (const CFileException& e) {
        file->Close();
        endCopy(true);
        session->Close();
        JobFailure cause = FailureOf(e);
        logLine(Str(Sid::LogIoFailed) + ReasonLine(cause));
        progress.DestroyWindow();
        return {JobOutcome::FileError, std::move(cause)};
    } catch (...) {
        file->Close();
        endCopy(true);
        throw;
    }

    if (cancelled) {
        m_bReady = 1;
        m_bIdle = 1;
        file->Close();
        session->Close();
        m_strLog += Str(Sid::LogAborted);
        m_nCursor = 0;
        m_bNoticePending = 0;  // the user is there
        m_host.KillTimer(TIMER_RATE);
        m_nBytesSinceSample = 0;
        m_host.SetDlgItemText(IDC_LOG, m_strLog);
        progress.DestroyWindow();
        return JobOutcome::Cancelled;
    }

    const std::string done = m_strClock + Str(Sid::LogDoneSeparator) + Str(Sid::LogDownloadDone);
    m_strLog += done;
    display += done;
    m_host.KillTimer(TIMER_RATE);
    m_nBytesSinceSample = 0;
    m_host.SetDlgItemText(IDC_LOG, display);
    file->Close();
    session->Close();
    EndTransferNormally();
    progress.DestroyWindow();
    return JobOutcome::Done;
}
