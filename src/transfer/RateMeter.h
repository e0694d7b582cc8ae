// The bytes a download has received since the rate timer last sampled them, and the rate that
// sample gave. The progress window's bar shows the rate; the copy loop counts into it.
#pragma once

#include <cstdint>

// Bytes per second over a 3-second sample, truncated toward zero and clamped to int32_t.
int32_t RateOfSample(int64_t bytesSinceSample);

class RateMeter {
  public:
    // A download starts: nothing counted, rate 0.
    void Reset() {
        m_nRate = 0;
        m_nBytesSinceSample = 0;
    }
    // `n` more bytes arrived.
    void Count(int64_t n) { m_nBytesSinceSample += n; }
    // The rate timer fired: the rate of the sample, and a new sample.
    void Sample() {
        m_nRate = RateOfSample(m_nBytesSinceSample);
        m_nBytesSinceSample = 0;
    }
    // The download has ended: its bytes belong to no later sample. The rate stays as shown.
    void Stop() { m_nBytesSinceSample = 0; }

    int32_t Rate() const { return m_nRate; }
    int64_t BytesSinceSample() const { return m_nBytesSinceSample; }

  private:
    int32_t m_nRate = 0;              // bytes per second over the last 3-second sample
    int64_t m_nBytesSinceSample = 0;  // bytes received since the last rate sample
};
