// CheckItem: opens one URL of the job table, reads one block and logs how much is ready.
#include <memory>
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/LogUrl.h"
#include "transfer/TransferEnd.h"
#include "ui/PomvexDlg.h"

JobResult CPomvexDlg::CheckItem(int index) {
    const std::string url = m_strJobs[index];

    std::unique_ptr<CInternetSession> session = m_internet.OpenSession(Str(Sid::SessionAgent));
    SessionCloser closer{*session};

    m_strLog += m_strClock + "\r\n" + UrlForLog(url) + Str(Sid::LogWillCheck);
    m_host.SetDlgItemText(IDC_LOG, m_strLog);
    m_host.InvalidateRect(true);

    std::unique_ptr<CInternetFile> file;
    JobFailure failure;
    try {
        file = session->OpenURL(url);
    } catch (const CInternetException& e) {
        failure = FailureOf(e);
    } catch (const CFileException& e) {
        failure = FailureOf(e);
    }
    if (!file) {
        session->Close();
        m_strLog += Str(Sid::LogConnectFailed) + ReasonLine(failure);
        // Shown at once: the user should not wait for the next line to learn of it.
        m_host.SetDlgItemText(IDC_LOG, m_strLog);
        return {JobOutcome::OpenFailed, std::move(failure)};
    }
    m_bIdle = 0;

    // A failing read goes to the error wrapper; the file is released on the way out.
    char block[1024];
    file->Read(block, sizeof block);
    // The library's unsigned reply, written as the signed figure the log has always shown.
    const int32_t figure = static_cast<int32_t>(file->QueryDataAvailable());

    m_strLog += Str(Sid::LogFileSize) + std::to_string(figure) + Str(Sid::LogBytesEol);
    // The figure above is what the library held, not the size; this is what the server said.
    if (const int64_t announced = file->GetAnnouncedSize(); announced >= 0)
        m_strLog += FormatStr(Sid::LogAnnouncedSize, {std::to_string(announced)});
    m_strLog += Str(Sid::LogCheckDone);
    m_host.SetDlgItemText(IDC_LOG, m_strLog);
    file->Close();
    session->Close();
    EndTransferNormally();
    return JobOutcome::Done;
}
