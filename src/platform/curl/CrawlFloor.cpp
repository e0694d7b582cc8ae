// The crawl floor's bookkeeping: one sample per hundredth of a window keeps it small.
#include "platform/curl/CrawlFloor.h"

namespace curlnet {

void CrawlFloor::Add(int64_t waitedMs, uint64_t bytes) {
    if (waitedMs < 0) waitedMs = 0;
    m_waitedMs += waitedMs;
    m_bytes += bytes;
    if (m_waitedMs - m_samples.back().waitedMs >= m_windowMs / 100)
        m_samples.push_back({m_waitedMs, m_bytes});
    // Keep one sample at or before the window's start, drop the older ones.
    const int64_t start = m_waitedMs - m_windowMs;
    while (m_samples.size() > 1 && m_samples[1].waitedMs <= start) m_samples.pop_front();
}

bool CrawlFloor::Crawling() const {
    if (m_floor <= 0 || m_waitedMs < m_windowMs) return false;
    const Sample& from = m_samples.front();
    const uint64_t got = m_bytes - from.bytes;
    const int64_t over = m_waitedMs - from.waitedMs;  // the window, or a little more
    return static_cast<int64_t>(got) * 1000 < static_cast<int64_t>(m_floor) * over;
}

}  // namespace curlnet
