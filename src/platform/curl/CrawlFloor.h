// The crawl floor: a transfer whose data trickles in (a few bytes every few seconds) never
// stalls, yet would hold a batch for a day. The floor judges the average over the last window of
// time spent waiting for data; time the caller spends elsewhere (copying, a box inside its pump)
// is not the server's doing and does not count, and neither does a transfer younger than one
// window.
#pragma once

#include <cstdint>
#include <deque>

namespace curlnet {

class CrawlFloor {
  public:
    // REQUIRES: windowMs > 0. A floor of 0 never judges a transfer crawling.
    CrawlFloor(long windowMs, long floorBytesPerSec)
        : m_windowMs(windowMs), m_floor(floorBytesPerSec) {}

    // `waitedMs` more of waiting for data, during which `bytes` arrived.
    void Add(int64_t waitedMs, uint64_t bytes);
    // True when the last window of waiting brought under floor × window bytes.
    bool Crawling() const;

  private:
    struct Sample {
        int64_t waitedMs;  // waiting so far
        uint64_t bytes;    // bytes so far
    };
    long m_windowMs;
    long m_floor;
    int64_t m_waitedMs = 0;
    uint64_t m_bytes = 0;
    // Oldest first; the front is the newest sample at or before the window's start, when the
    // transfer has waited that long.
    std::deque<Sample> m_samples{Sample{0, 0}};
};

}  // namespace curlnet
