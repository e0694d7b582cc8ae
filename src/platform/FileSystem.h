// Questions and changes about names in the file system rather than about an open file's bytes:
// what a path names, making a folder, giving a file another name. Paths are CP932 text and reach
// the system through ospath (a leading "~" the home folder), except where a function says it
// takes a name exactly as the system spells it. None of these opens a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a path names, without following a final symbolic link: `link` is a symbolic link, dangling
// or not; `other` a folder, a device, a FIFO, a socket.
enum class PathKind { missing, regular, link, other };
struct PathStatus {
    PathKind kind = PathKind::missing;
    unsigned long long size = 0;  // bytes, for a regular file
    int64_t mtimeNs = 0;          // last modification, ns since 1970, for a regular file
};
// The status of `path` (CP932 text). A text that is not CP932, or a path that cannot be looked
// at, is `other`: nothing may be decided about it. Never throws.
PathStatus StatusOfPath(const std::string& path);

// The longest name a file in `folder` (CP932 text, "~" as in CFile::Open; empty: the current
// folder) may have, in bytes as the file system counts them (UTF-8): pathconf(_PC_NAME_MAX) of
// the folder, or of the nearest folder above it that exists (a save folder is made on the first
// save); 255 where it cannot be asked. Never throws.
size_t NameMaxOfFolder(const std::string& folder);
// The same for `systemFolder`, the system's name of the folder (empty: the current folder).
size_t NameMaxOfSystemFolder(const std::string& systemFolder);

// Creates one directory level (`path` CP932 text, "~" as in CFile::Open); the result is not looked
// at by the program.
bool MakeDirectory(const std::string& path);
// The same for a name exactly as the system spells it.
bool MakeDirectoryOnSystem(const std::string& systemPath);

// Creates the folder `path` (CP932 text, "~" as in CFile::Open) and every missing folder above
// it, each with mode 0777 less the umask. True when `path` is a folder afterwards; otherwise
// false with errno telling why the first missing level could not be made.
bool MakeDirectories(const std::string& path);

// Gives the file `oldPath` the name `newPath` (both CP932 text), replacing a file of that
// name in one step. A text that is not CP932 fails as a bad path. Throws CFileException naming
// oldPath.
void RenameFile(const std::string& oldPath, const std::string& newPath);
