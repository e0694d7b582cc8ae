// Local files, shaped like the framework's CFile/CArchive pair the program is written against:
// opening a file by its CP932 name, reading and writing its bytes (raw, or through a buffered
// writer), seeking and closing it. Every failure throws, or for an open reports, a
// CFileException naming the file as the program named it. Real POSIX implementation, used by
// the program and by the tests alike. Lines are read by Lines.h; questions about names (what a
// path is, folders, renaming) are FileSystem.h's.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/Exceptions.h"

// One open local file. Not copyable; closes itself on destruction (errors then ignored).
class CFile {
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,        // create, or truncate an existing file
        modeNoTruncate = 0x2000,    // with modeCreate: an existing file keeps its bytes
        shareExclusive = 0x0010,    // advisory flock(LOCK_EX|LOCK_NB); a held lock fails the open
        modeNoFollow = 0x4000,      // a symbolic link at the name fails the open (ELOOP)
        modeCreateNew = 0x8000,     // with modeCreate: a name that exists already fails the open
        modeRegularOnly = 0x10000,  // anything but a regular file fails the open
        modePrivate = 0x20000,      // a file the open creates is readable by its owner only
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens `path` (CP932 text; the system gets its UTF-8 form through ospath, a leading "~"
    // the home folder). A text that is not CP932 fails as a bad path. No open waits: a FIFO or
    // a device is opened without blocking and refused at once (accessDenied) when it is no file
    // to read or write: every open for reading, and with modeRegularOnly every open, takes a
    // regular file only; a FIFO or a socket is never opened. Returns false and fills *error (if
    // given) on failure; never throws. REQUIRES: not open.
    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr);

    // Like Open, for a name exactly as the system spells it (the program's own files, a file:
    // URL). Errors and GetFilePath name it by ospath::Displayable.
    bool OpenOnSystem(const std::string& systemPath, unsigned flags,
                      CFileException* error = nullptr);

    // Reads up to n bytes; returns the count, 0 at end of file. Throws CFileException.
    // REQUIRES: open for reading.
    size_t Read(void* buf, size_t n);

    // Writes all n bytes; a short write is a full disk. Throws CFileException.
    // REQUIRES: open for writing.
    void Write(const void* buf, size_t n);

    // Moves to byte 0. Throws CFileException.
    void SeekToBegin();

    // Moves past the last byte; returns the length. Throws CFileException.
    unsigned long long SeekToEnd();

    // Length in bytes; leaves the position where it was. Throws CFileException.
    unsigned long long GetLength() const;

    // Closes; a failing close (delayed write error) throws CFileException. Safe when not open.
    void Close();

    // The framework's spelling of RenameFile (FileSystem.h), which holds the contract.
    static void Rename(const std::string& oldPath, const std::string& newPath);

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_strPath; }

  private:
    // Opens `system`; `path` is the CP932 text that errors and GetFilePath name.
    bool OpenAs(const std::string& system, const std::string& path, unsigned flags,
                CFileException* error);
    int m_fd = -1;
    std::string m_strPath;  // CP932 text naming the file
};

// Writes all n bytes to the open descriptor `fd`, as CFile::Write does for its own; a short
// write is a full disk. Throws CFileException naming `path` (CP932 text).
void WriteAllToDescriptor(int fd, const void* buf, size_t n, const std::string& path);

// Buffered writer over a CFile opened for writing. Nothing is on disk until Flush. The buffer is
// allocated once: a copy loop that flushes every megabyte must not pay an allocation (and, for
// large buffers, an mmap/munmap pair) per flush.
class FileWriter {
  public:
    // REQUIRES: file outlives the writer and is open for writing; bufferSize > 0.
    explicit FileWriter(CFile& file, size_t bufferSize = 4096)
        : m_file(file),
          m_buf(std::make_unique_for_overwrite<char[]>(bufferSize)),
          m_cap(bufferSize) {}
    // Throws CFileException (through the file) when the buffer spills.
    void Write(const void* data, size_t n);
    // Writes what is buffered. Throws CFileException.
    void Flush();

  private:
    CFile& m_file;
    std::unique_ptr<char[]> m_buf;  // m_cap bytes, allocated once
    size_t m_cap;
    size_t m_len = 0;  // bytes buffered, from the start of m_buf
};
