#include "batch/RunLog.h"

#include "platform/Exceptions.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "resources/Strings.h"

namespace {

constexpr const char* kLogFileName = "Pomvex.log";

}  // namespace

void RunLog::Save(Host& host) {
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
    host.MessageBox(text, type);
}
