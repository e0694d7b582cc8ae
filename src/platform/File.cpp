#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/OsPath.h"
#include "resources/Strings.h"

// ---- CFileException ----

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

// ---- CFile ----

namespace {

bool ParentFolderExists(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;  // relative to the current folder
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st {};
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

CFile::~CFile() {
    if (m_fd >= 0) ::close(m_fd);  // errors here have nowhere to go
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    auto system = ospath::TryToSystemExpandingHome(path);
    if (!system) {
        if (error) *error = CFileException(CFileException::badPath, path, EINVAL);
        return false;
    }
    return OpenAs(*system, path, flags, error);
}

bool CFile::OpenOnSystem(const std::string& systemPath, unsigned flags, CFileException* error) {
    return OpenAs(systemPath, ospath::Displayable(systemPath), flags, error);
}

bool CFile::OpenAs(const std::string& system, const std::string& path, unsigned flags,
                   CFileException* error) {
    int oflags = (flags & modeWrite) ? O_WRONLY : O_RDONLY;
    if (flags & modeCreate) oflags |= O_CREAT;
    oflags |= O_CLOEXEC;
    int fd = ::open(system.c_str(), oflags, 0666);
    if (fd < 0) {
        int err = errno;
        if (error) {
            *error = CFileException::FromErrno(err, path);
            // ENOENT covers a missing folder too; the program's texts tell a bad path apart
            // from a missing file, as the Windows file calls do.
            if (err == ENOENT && !ParentFolderExists(system))
                error->m_cause = CFileException::badPath;
        }
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error) *error = CFileException::FromErrno(EISDIR, path);
        return false;
    }
    if (flags & shareExclusive) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int err = errno;
            ::close(fd);
            if (error) *error = CFileException::FromErrno(err, path);
            return false;
        }
    }
    // Truncate only once the lock is held, so a holder's file is never emptied under it; and
    // only a file that has bytes: on ext4 truncating even an empty file makes the last close
    // start writeback of everything written since (auto_da_alloc), which costs a big download
    // a second of system time and a frozen window at its end.
    struct stat locked {};
    if ((flags & modeCreate) && !(flags & modeNoTruncate) && (flags & modeWrite) &&
        S_ISREG(st.st_mode) && (::fstat(fd, &locked) != 0 || locked.st_size > 0) &&
        ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        if (error) *error = CFileException::FromErrno(err, path);
        return false;
    }
    m_fd = fd;
    m_strPath = path;
    return true;
}

size_t CFile::Read(void* buf, size_t n) {
    for (;;) {
        ssize_t r = ::read(m_fd, buf, n);
        if (r >= 0) return static_cast<size_t>(r);
        if (errno == EINTR) continue;
        throw CFileException::FromErrno(errno, m_strPath);
    }
}

void CFile::Write(const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = ::write(m_fd, p, n);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw CFileException::FromErrno(errno, m_strPath);
        }
        if (r == 0) throw CFileException(CFileException::diskFull, m_strPath, ENOSPC);
        p += r;
        n -= static_cast<size_t>(r);
    }
}

void CFile::SeekToBegin() {
    if (::lseek(m_fd, 0, SEEK_SET) < 0) throw CFileException::FromErrno(errno, m_strPath);
}

unsigned long long CFile::SeekToEnd() {
    off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0) throw CFileException::FromErrno(errno, m_strPath);
    return static_cast<unsigned long long>(end);
}

void CFile::Rename(const std::string& oldPath, const std::string& newPath) {
    auto from = ospath::TryToSystemExpandingHome(oldPath),
         to = ospath::TryToSystemExpandingHome(newPath);
    if (!from || !to) throw CFileException(CFileException::badPath, oldPath, EINVAL);
    if (::rename(from->c_str(), to->c_str()) != 0) throw CFileException::FromErrno(errno, oldPath);
}

unsigned long long CFile::GetLength() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) throw CFileException::FromErrno(errno, m_strPath);
    return static_cast<unsigned long long>(st.st_size);
}

void CFile::Close() {
    if (m_fd < 0) return;
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) throw CFileException::FromErrno(errno, m_strPath);
}

// ---- FileWriter ----

void FileWriter::Write(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    if (n > m_cap - m_len) {
        Flush();
        if (n >= m_cap) {
            m_file.Write(p, n);
            return;
        }
    }
    std::memcpy(m_buf.get() + m_len, p, n);
    m_len += n;
}

void FileWriter::Flush() {
    if (m_len == 0) return;
    // Emptied first so that a failing flush is not retried by a later one.
    size_t n = m_len;
    m_len = 0;
    m_file.Write(m_buf.get(), n);
}

// ---- LineReader ----

int LineReader::Next() {
    if (m_pos == m_len) {
        m_len = m_file.Read(m_buf.data(), m_buf.size());
        m_pos = 0;
        if (m_len == 0) return -1;
    }
    return static_cast<unsigned char>(m_buf[m_pos++]);
}

bool LineReader::ReadString(std::string& line) {
    line.clear();
    int c = Next();
    if (c < 0) return false;
    for (; c >= 0; c = Next()) {
        if (c == '\n') return true;
        if (c == '\r') {
            int after = Next();
            if (after >= 0 && after != '\n') line.push_back(static_cast<char>(after));
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    return true;
}

std::vector<std::string> SplitLines(std::string_view data) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < data.size()) {
        std::string line;
        while (i < data.size()) {
            char c = data[i++];
            if (c == '\n') break;
            if (c == '\r') {
                if (i < data.size()) {
                    char after = data[i++];
                    if (after != '\n') line.push_back(after);
                }
                break;
            }
            line.push_back(c);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

PathStatus StatusOfPath(const std::string& path) {
    PathStatus status;
    auto system = ospath::TryToSystemExpandingHome(path);
    struct stat st {};
    if (!system) {
        status.kind = PathKind::other;
    } else if (::lstat(system->c_str(), &st) != 0) {
        status.kind = errno == ENOENT ? PathKind::missing : PathKind::other;
    } else if (S_ISREG(st.st_mode)) {
        status.kind = PathKind::regular;
        status.size = static_cast<unsigned long long>(st.st_size);
    } else {
        status.kind = PathKind::other;
    }
    return status;
}

bool MakeDirectory(const std::string& path) {
    auto system = ospath::TryToSystemExpandingHome(path);
    return system && MakeDirectoryOnSystem(*system);
}

bool MakeDirectoryOnSystem(const std::string& systemPath) {
    return ::mkdir(systemPath.c_str(), 0777) == 0;
}
