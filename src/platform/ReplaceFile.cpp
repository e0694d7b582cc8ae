// The temporary file is created exclusively beside the target (a rename only replaces within one
// file system) and carries the old file's mode and owner, so the replaced file looks as the
// truncated one did. An existing target is held open for writing with the exclusive lock for the
// whole replacement, as an in-place create would: a read-only file, or one another copy of the
// program holds, is refused the same way as before.
#include "platform/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/OsPath.h"
#include "resources/Cp932.h"

namespace {

// The temporary file: closed and removed on the way out unless the rename took it over.
struct TempFile {
    std::string path;
    int fd = -1;
    bool renamed = false;
    ~TempFile() {
        if (fd >= 0) ::close(fd);
        if (!path.empty() && !renamed) ::unlink(path.c_str());
    }
};

// Creates ".<target's name>.<pid>-<n>.tmp" beside `target`, readable by its owner only until it
// takes an existing file's mode; false with errno set when the folder does not take a new file.
bool CreateTemp(const std::string& target, TempFile& temp) {
    static unsigned counter = 0;
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary name fits what the folder takes whatever the target's length.
    const size_t limit = NameMaxOfSystemFolder(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: g++ 12 reports a false -Wrestrict for "." + std::string.
        std::string suffix = ".";
        suffix += std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        const size_t room = limit > 1 + suffix.size() ? limit - 1 - suffix.size() : 0;
        // Never inside a UTF-8 character, so a leftover of a crash still has a readable name.
        std::string name = folder + "." + base.substr(0, text::Utf8CutAt(base, room)) + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            temp.path = std::move(name);
            temp.fd = fd;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The rename itself must survive a power cut too.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // a folder that cannot be synced still holds the renamed file
    ::close(fd);
}

// The program's old way, for targets a rename must not replace.
bool WriteInPlace(const std::string& system, const std::string& shown, std::string_view bytes,
                  CFileException* error) {
    CFile file;
    if (!file.OpenOnSystem(
            system,
            CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::modePrivate,
            error)) {
        if (error) error->m_strFileName = shown;
        return false;
    }
    try {
        file.Write(bytes.data(), bytes.size());
        file.Close();
    } catch (CFileException& e) {
        e.m_strFileName = shown;
        throw;
    }
    return true;
}

bool Replace(const std::string& system, const std::string& shown, std::string_view bytes,
             CFileException* error) {
    auto refuse = [&](int err) {
        if (error) *error = CFileException::FromErrno(err, shown);
        return false;
    };
    std::string target = system;
    struct stat st {};
    const bool exists = ::stat(system.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(system, shown, bytes, error);
    if (!exists) {
        // A dangling link, or a name that cannot be looked at: nothing safe to rename over.
        struct stat link {};
        if (errno != ENOENT || ::lstat(system.c_str(), &link) == 0)
            return WriteInPlace(system, shown, bytes, error);
    }

    CFile guard;
    if (exists) {
        struct stat link {};
        if (::lstat(system.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            std::unique_ptr<char, decltype(&std::free)> real(::realpath(system.c_str(), nullptr),
                                                             &std::free);
            if (!real) return WriteInPlace(system, shown, bytes, error);
            target = real.get();
        }
        if (!guard.OpenOnSystem(target, CFile::modeWrite | CFile::shareExclusive, error)) {
            if (error) error->m_strFileName = shown;
            return false;
        }
    }

    TempFile temp;
    if (!CreateTemp(target, temp)) {
        const int err = errno;
        // A folder that takes no new file (no right to, a pseudo-folder) where this file may be
        // written: written in place as before rather than refused. A folder without room is
        // refused: in place, the old file would be lost.
        if (!exists || err == ENOSPC || err == EDQUOT) return refuse(err);
        try {
            guard.Close();  // the in-place open takes the lock itself
        } catch (const CFileException&) {
        }
        return WriteInPlace(target, shown, bytes, error);
    }
    if (exists) {
        // Best effort: a file that keeps the default mode or owner is still the right bytes.
        if (::fchown(temp.fd, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(temp.fd, st.st_mode & 07777) != 0) {
        }
    }
    WriteAllToDescriptor(temp.fd, bytes.data(), bytes.size(), shown);
    if (::fsync(temp.fd) != 0) throw CFileException::FromErrno(errno, shown);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0 && errno != EINTR) throw CFileException::FromErrno(errno, shown);
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        throw CFileException::FromErrno(errno, shown);
    temp.renamed = true;
    SyncFolderOf(target);
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes, CFileException* error) {
    auto system = ospath::TryToSystemExpandingHome(path);
    if (!system) {
        if (error) *error = CFileException(CFileException::badPath, path, EINVAL);
        return false;
    }
    return Replace(*system, path, bytes, error);
}

bool ReplaceFileContentsOnSystem(const std::string& systemPath, std::string_view bytes,
                                 CFileException* error) {
    return Replace(systemPath, ospath::Displayable(systemPath), bytes, error);
}
