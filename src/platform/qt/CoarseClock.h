// A clock for pacing repaints and pumps: cheap enough to read after every copied block.
#pragma once

#include <time.h>

#include <cstdint>

namespace qthost {

// Monotonic milliseconds from the coarse clock (a memory read; its tick is a few ms).
inline int64_t CoarseNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace qthost
