#include "transfer/RateMeter.h"

#include <algorithm>
#include <limits>

int32_t RateOfSample(int64_t bytesSinceSample) {
    const int64_t rate = bytesSinceSample / 3;
    return static_cast<int32_t>(std::clamp<int64_t>(rate, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
