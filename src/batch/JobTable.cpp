// The job table is read back from a staging file rather than split in memory, so a batch runs
// exactly the lines a line reader finds on disk (and the file shows what the last batch loaded).
#include "platform/File.h"
#include "platform/Lines.h"
#include "platform/Paths.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

namespace {

constexpr const char* kStagingFileName = "Pomvex.PVX";
constexpr const char* kLogFileName = "Pomvex.log";
constexpr int kMaxJobs = 100;

// Creates or truncates `path` and writes `bytes` through a buffer. False when the file cannot be
// created; a failure once it is open (full disk) throws CFileException, the file closed.
// `path` is the system's name: the program folder works whatever its name holds.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    CFile file;
    if (!file.OpenOnSystem(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return false;
    FileWriter writer(file);
    writer.Write(bytes.data(), bytes.size());
    writer.Flush();
    file.Close();
    return true;
}

}  // namespace

void CPomvexDlg::LoadJobTable() {
    m_strList = m_host.GetDlgItemText(IDC_LIST);
    const std::string path = paths::InProgramFolderOnSystem(kStagingFileName);

    if (!WriteWholeFile(path, m_strList)) {
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
}

void CPomvexDlg::SaveLog() {
    // The caller goes on either way; the box is the only report.
    if (!WriteWholeFile(paths::InProgramFolderOnSystem(kLogFileName), m_strLog))
        m_host.MessageBox(Str(Sid::FileCreateFailed), MB_OK);
}
