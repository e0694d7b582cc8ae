// The reader of a file: URL: the local file it names, read byte for byte through a large buffer.
// Its failures are the local file's: every one throws CFileException, never CInternetException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Internet.h"

namespace curlnet {

class LocalUrlFile : public CInternetFile {
  public:
    // `localPath` is the system's name. Throws CFileException when it cannot be opened, and at
    // once for anything but a regular file (a FIFO, a device: nothing whose reading may wait
    // for ever or never end).
    LocalUrlFile(const std::string& localPath, std::string fileName);

    size_t Read(void* buf, size_t n) override;
    // A view into the read-ahead buffer, refilled only at the next call; `scratch` is not used.
    std::span<const char> ReadView(char* scratch, size_t n) override;
    void SeekToBegin() override;
    // The local file's length.
    uint32_t QueryDataAvailable() override;
    std::string GetFileName() const override { return m_strFileName; }
    void Close() override;

  private:
    CFile m_file;
    std::string m_strFileName;
    std::vector<char> m_buf;  // read ahead from m_file; [m_pos, m_len) not yet handed out
    size_t m_pos = 0, m_len = 0;
};

}  // namespace curlnet
