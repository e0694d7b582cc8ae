#include "batch/BatchRules.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace batch {

std::string FormatLocalTime(int64_t t, const std::string& pattern) {
    const time_t when = static_cast<time_t>(t);
    struct tm local {};
    if (static_cast<int64_t>(when) != t || localtime_r(&when, &local) == nullptr) return {};
    char buf[kClockBufferBytes];
    // A zero count is strftime's only failure report; every pattern the program uses gives a
    // non-empty text, so an empty result and a failure are the same thing here.
    size_t n = std::strftime(buf, sizeof buf, pattern.c_str(), &local);
    return std::string(buf, n);
}

int64_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;  // accumulated as a magnitude; saturates instead of overflowing
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            // The remaining digits cannot change a saturated value.
            break;
        }
        value = value * 10 + digit;
    }
    if (!negative) return value;
    return value == kMax ? std::numeric_limits<int64_t>::min() : -value;
}

uint32_t DeadlinePeriodMs(std::string_view durationText) {
    constexpr int64_t kMsPerHour = 3600000;
    int64_t hours = LeadingInteger(durationText);
    if (hours <= 0) return 0;
    if (hours > static_cast<int64_t>(kMaxTimerMs) / kMsPerHour) return kMaxTimerMs;
    return static_cast<uint32_t>(hours * kMsPerHour);
}

}  // namespace batch
