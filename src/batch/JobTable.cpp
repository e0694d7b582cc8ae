#include "batch/JobTable.h"

#include "platform/File.h"
#include "platform/Lines.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "resources/Strings.h"

namespace {

constexpr const char* kStagingFileName = "Pomvex.PVX";

const std::string kNoJob;

}  // namespace

bool JobTable::Load(Host& host, const std::string& list) {
    const std::string path = paths::InProgramFolderOnSystem(kStagingFileName);
    // Replaced whole, never truncated first: a full disk leaves the last list the file held.
    if (!ReplaceFileContentsOnSystem(path, list)) {
        host.MessageBox(Str(Sid::TempCreateFailed), MB_OK);
        return false;
    }
    CFile file;
    if (!file.OpenOnSystem(path, CFile::modeRead | CFile::shareExclusive)) {
        host.MessageBox(Str(Sid::TempReadFailed), MB_OK);
        return false;
    }
    LineReader reader(file);
    int count = 0;
    while (count < kMaxJobs && reader.ReadString(m_strLine)) m_strJobs[++count] = m_strLine;
    for (size_t i = static_cast<size_t>(count) + 1; i < m_strJobs.size(); ++i) m_strJobs[i].clear();
    file.Close();
    return true;
}

const std::string& JobTable::operator[](int slot) const {
    if (slot < 1 || slot >= kSlots) return kNoJob;
    return m_strJobs[static_cast<size_t>(slot)];
}
