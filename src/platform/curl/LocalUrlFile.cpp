// The reader of file: URLs: the local file through a 256 KiB buffer.
#include "platform/curl/LocalUrlFile.h"

#include <algorithm>
#include <cstring>

namespace curlnet {

LocalUrlFile::LocalUrlFile(const std::string& localPath, std::string fileName)
    : m_strFileName(std::move(fileName)), m_buf(256 * 1024) {
    CFileException error(CFileException::none, localPath);
    if (!m_file.OpenOnSystem(localPath, CFile::modeRead, &error)) throw error;
}

size_t LocalUrlFile::Read(void* buf, size_t n) {
    std::span<const char> view = ReadView(nullptr, n);
    if (!view.empty()) std::memcpy(buf, view.data(), view.size());
    return view.size();
}

std::span<const char> LocalUrlFile::ReadView(char*, size_t n) {
    if (m_pos == m_len) {
        m_pos = 0;
        m_len = m_file.Read(m_buf.data(), m_buf.size());
        if (m_len == 0) return {};
    }
    size_t k = std::min(n, m_len - m_pos);
    std::span<const char> view(m_buf.data() + m_pos, k);
    m_pos += k;
    return view;
}

void LocalUrlFile::SeekToBegin() {
    m_file.SeekToBegin();
    m_pos = m_len = 0;
}

uint32_t LocalUrlFile::QueryDataAvailable() {
    try {
        return static_cast<uint32_t>(m_file.GetLength());
    } catch (const CFileException&) {
        return 0;
    }
}

void LocalUrlFile::Close() {
    try {
        m_file.Close();
    } catch (const CFileException&) {
        // A read-only close has nothing left to lose.
    }
}

}  // namespace curlnet
