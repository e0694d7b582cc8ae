// Name-level file-system calls. Each turns the CP932 name into the system's through ospath
// first; a name with no system form is never guessed at: a query answers `other`, a change fails.
#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Exceptions.h"
#include "platform/OsPath.h"

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
        status.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    } else if (S_ISLNK(st.st_mode)) {
        status.kind = PathKind::link;
    } else {
        status.kind = PathKind::other;
    }
    return status;
}

namespace {

constexpr size_t kUnknownNameMax = 255;

}  // namespace

size_t NameMaxOfFolder(const std::string& folder) {
    auto system = ospath::TryToSystemExpandingHome(folder);
    return system ? NameMaxOfSystemFolder(*system) : kUnknownNameMax;
}

size_t NameMaxOfSystemFolder(const std::string& systemFolder) {
    std::string level = systemFolder.empty() ? "." : systemFolder;
    for (;;) {
        errno = 0;
        const long max = ::pathconf(level.c_str(), _PC_NAME_MAX);
        if (max > 0) return static_cast<size_t>(max);
        if (errno != ENOENT || level == "." || level == "/") return kUnknownNameMax;
        // The folder above: "a/b/" -> "a", "/a" -> "/", "a" -> ".".
        const size_t slash = level.find_last_of('/', level.find_last_not_of('/'));
        level = slash == std::string::npos ? "." : level.substr(0, slash == 0 ? 1 : slash);
    }
}

bool MakeDirectory(const std::string& path) {
    auto system = ospath::TryToSystemExpandingHome(path);
    return system && MakeDirectoryOnSystem(*system);
}

bool MakeDirectoryOnSystem(const std::string& systemPath) {
    return ::mkdir(systemPath.c_str(), 0777) == 0;
}

bool MakeDirectories(const std::string& path) {
    auto system = ospath::TryToSystemExpandingHome(path);
    if (!system) {
        errno = EINVAL;
        return false;
    }
    struct stat st {};
    if (::stat(system->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    // Level by level from the top; a level that exists already (made by someone else meanwhile,
    // too) is passed, and the last stat says whether the whole path is a folder.
    for (size_t slash = system->find('/', 1); slash != std::string::npos;
         slash = system->find('/', slash + 1)) {
        const std::string level = system->substr(0, slash);
        if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (::mkdir(system->c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (::stat(system->c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

void RenameFile(const std::string& oldPath, const std::string& newPath) {
    auto from = ospath::TryToSystemExpandingHome(oldPath),
         to = ospath::TryToSystemExpandingHome(newPath);
    if (!from || !to) throw CFileException(CFileException::badPath, oldPath, EINVAL);
    if (::rename(from->c_str(), to->c_str()) != 0) throw CFileException::FromErrno(errno, oldPath);
}
