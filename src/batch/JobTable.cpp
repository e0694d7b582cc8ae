// The job table is read back from a staging file rather than split in memory, so a batch runs
// exactly the lines a line reader finds on disk (and the file shows what the last batch loaded).
#include "platform/File.h"
#include "platform/Lines.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

namespace {

constexpr const char* kStagingFileName = "Pomvex.PVX";
constexpr const char* kLogFileName = "Pomvex.log";
constexpr int kMaxJobs = 100;

}  // namespace

void CPomvexDlg::LoadJobTable() {
    m_strList = m_host.GetDlgItemText(IDC_LIST);
    const std::string path = paths::InProgramFolderOnSystem(kStagingFileName);

    // Replaced whole, never truncated first: a full disk leaves the last list the file held.
    if (!ReplaceFileContentsOnSystem(path, m_strList)) {
        m_host.MessageBox(Str(Sid::TempCreateFailed), MB_OK);
        return;
    }

    CFile file;
    if (!file.OpenOnSystem(path, CFile::modeRead | CFile::shareExclusive)) {
        m_host.MessageBox(Str(Sid::TempReadFailed), MB_OK);
        return;
    }
    // A read error from here on leaves the table partly replaced but cursor and ready untouched,
    // so no new batch starts on it.
    LineReader reader(file);
    int count = 0;
    while (count < kMaxJobs && reader.ReadString(m_strLine)) m_strJobs[++count] = m_strLine;
    for (size_t i = static_cast<size_t>(count) + 1; i < m_strJobs.size(); ++i) m_strJobs[i].clear();
    file.Close();

    m_nCursor = 1;
    m_bReady = 1;
    // An earlier batch still waiting for its notification is told before its tally goes.
    SendBatchNotice();
    ++m_nBatchSerial;
    m_nJobsStarted = 0;
    m_nJobsDone = 0;
    m_jobOutcomes.fill(JobOutcome::None);
    m_jobFailures.fill(JobFailure{});
    ResetRounds();
}

void CPomvexDlg::SaveLog() {
    // The caller goes on either way; the box is the only report. A write that fails (a full
    // disk) is told in the error wrapper's words but does not escape: the batch's end must still
    // show the whole log, and the old log file stays as it was. A failure already told for this
    // very text is not told again: a refusal that ends the batch writes the log, and the batch's
    // end on the next tick writes the same text once more.
    std::string text;
    unsigned type = MB_OK;
    try {
        if (ReplaceFileContentsOnSystem(paths::InProgramFolderOnSystem(kLogFileName), m_strLog)) {
            m_strLogUnsaved.reset();
            return;
        }
        text = Str(Sid::FileCreateFailed);
    } catch (const CFileException& e) {
        text = e.GetErrorMessage();
        if (text.empty()) text = Str(Sid::InternalFailure);
        type = MB_ICONSTOP;
    }
    if (m_strLogUnsaved == m_strLog) return;
    m_strLogUnsaved = m_strLog;
    m_host.MessageBox(text, type);
}
