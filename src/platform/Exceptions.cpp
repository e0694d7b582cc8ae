// What a failure says: how an errno value becomes one of the program's fixed file causes, and
// the CP932 text each failure shows in its message box. The cause table is the one the texts
// are numbered by (Sid::FileCause0 + cause), so a cause outside it is worded as generic.
#include "platform/Exceptions.h"

#include <cerrno>

#include "resources/Strings.h"

int CFileException::OsErrorToCause(int err) {
    switch (err) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EEXIST:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case ESPIPE:
            return badSeek;
        case EIO:
        case ENXIO:
        case ENODEV:
            return hardIO;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
            return sharingViolation;
        case ENOLCK:
        case EDEADLK:
            return lockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        default:
            return genericException;
    }
}

CFileException CFileException::FromErrno(int err, const std::string& path) {
    return CFileException(OsErrorToCause(err), path, err);
}

std::string CFileException::GetErrorMessage() const {
    int cause = (m_cause >= none && m_cause <= endOfFile) ? m_cause : genericException;
    const std::string& name = m_strFileName.empty() ? Str(Sid::Untitled) : m_strFileName;
    return FormatStr(static_cast<Sid>(static_cast<int>(Sid::FileCause0) + cause), {name});
}

std::string CInternetException::GetErrorMessage() const {
    return m_strText;
}
