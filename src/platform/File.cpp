// CFile and FileWriter over POSIX descriptors. An open reports its failure as the Windows file
// calls the program was written against would word it (a missing folder is a bad path, not a
// missing file); every later failure throws with the cause derived from errno in Exceptions.cpp.
#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/OsPath.h"

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
    if ((flags & modeCreate) && (flags & modeCreateNew)) oflags |= O_EXCL;
    if (flags & modeNoFollow) oflags |= O_NOFOLLOW;
    // A FIFO would block the open until another process opens its other end, and the window's
    // thread with it (no watchdog can fire then); without blocking it opens, or fails, at once,
    // and is refused below.
    oflags |= O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(system.c_str(), oflags, (flags & modePrivate) ? 0600 : 0666);
    if (fd < 0) {
        int err = errno;
        if (error) {
            *error = CFileException::FromErrno(err, path);
            // ENOENT covers a missing folder too; the program's texts tell a bad path apart
            // from a missing file, as the Windows file calls do.
            if (err == ENOENT && !ParentFolderExists(system))
                error->m_cause = CFileException::badPath;
            // A FIFO that nobody reads refuses a writer that will not wait: refused as below.
            struct stat fifo {};
            if (err == ENXIO && ::stat(system.c_str(), &fifo) == 0 && S_ISFIFO(fifo.st_mode))
                error->m_cause = CFileException::accessDenied;
        }
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        if (error) *error = CFileException::FromErrno(err, path);
        return false;
    }
    // A file to read must end (a device may not), and a stream is no file at all; a device
    // stays writable where a regular file is not required (the program's own files on
    // /dev/full, say, fail as a full disk).
    const bool regular = S_ISREG(st.st_mode);
    const bool stream = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
    if (!regular && (stream || !(flags & modeWrite) || (flags & modeRegularOnly))) {
        ::close(fd);
        if (error) *error = CFileException(CFileException::accessDenied, path);
        return false;
    }
    // Blocking from here on, as every caller expects of its reads and writes.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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

void WriteAllToDescriptor(int fd, const void* buf, size_t n, const std::string& path) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = ::write(fd, p, n);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw CFileException::FromErrno(errno, path);
        }
        if (r == 0) throw CFileException(CFileException::diskFull, path, ENOSPC);
        p += r;
        n -= static_cast<size_t>(r);
    }
}

void CFile::Write(const void* buf, size_t n) {
    WriteAllToDescriptor(m_fd, buf, n, m_strPath);
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
    RenameFile(oldPath, newPath);
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
