// Small pure rules of the batch runner, kept apart from the sequencer so they can be checked
// row by row: the clock text, the leading-integer reading of the schedule combos, the deadline
// period.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace batch {

// Longest clock text the tick accepts; a longer result counts as a failed format.
inline constexpr size_t kClockBufferBytes = 128;
// Watchdog period: how long a job may hold the batch before the sequencer moves on.
inline constexpr uint32_t kWatchdogMs = 100000;
// The largest period the window timers accept.
inline constexpr uint32_t kMaxTimerMs = 0x7FFFFFFF;

// `t` in local time (the process's TZ) through strftime with the CP932 pattern `pattern`.
// Empty when the time cannot be broken down or the text would not fit in 128 bytes
// (terminating zero included).
std::string FormatLocalTime(int64_t t, const std::string& pattern);

// The atoi reading of a combo text: leading blanks (space, \t \n \v \f \r) skipped, one optional
// sign, decimal digits up to the first non-digit; 0 when there are none. Unlike atoi it never
// overflows: the value saturates at the int64_t limits.
int64_t LeadingInteger(std::string_view text);

// Deadline period for the duration text: its leading integer in hours, as milliseconds.
// 0 hours or less (or no digits) gives 0 ms; a period above kMaxTimerMs is clamped to it.
uint32_t DeadlinePeriodMs(std::string_view durationText);

}  // namespace batch
