// The small rules of the batch runner, row by row: leading integers, the deadline period, the
// rate sample and the clock text.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <climits>
#include <string>

#include "batch/BatchRules.h"
#include "batch_support.h"
#include "resources/Strings.h"
#include "transfer/RateMeter.h"

namespace {

TEST(BatchRules, LeadingIntegerFollowsAtoi) {
    struct Row {
        std::string text;
        int64_t expected;
    };
    const Row rows[] = {
        {"11", 11},
        {"0", 0},
        {"", 0},
        {"abc", 0},
        {"  7", 7},
        {"\t\n\v\f\r5", 5},
        {"+3", 3},
        {"-4", -4},
        {"- 4", 0},
        {"+-4", 0},
        {"05", 5},
        {"12x", 12},
        {"1 2", 1},
        {"\x82\x50", 0},  // full-width digit 1 in CP932 is not a digit
        {"\x81\x40"
         "1",
         0},  // nor is a full-width space a blank
        {"9223372036854775807", INT64_MAX},
        {"99999999999999999999", INT64_MAX},
        {"-99999999999999999999", INT64_MIN},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("text \"" + r.text + "\"");
        EXPECT_EQ(batch::LeadingInteger(r.text), r.expected);
    }
}

TEST(BatchRules, DeadlinePeriod) {
    struct Row {
        std::string duration;
        uint32_t expectedMs;
    };
    const Row rows[] = {
        {"1", 3600000u},
        {"2", 7200000u},
        {"4", 14400000u},
        {"0", 0u},
        {"", 0u},
        {"x", 0u},
        {"-3", 0u},
        {"596", 2145600000u},   // the largest whole number of hours a timer can hold
        {"597", 0x7FFFFFFFu},   // would wrap in 32 bits: clamped
        {"1193", 0x7FFFFFFFu},  // 1193 h wraps a 32-bit product to a small number
        {"99999999999999999999", 0x7FFFFFFFu},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("duration \"" + r.duration + "\"");
        EXPECT_EQ(batch::DeadlinePeriodMs(r.duration), r.expectedMs);
    }
}

TEST(BatchRules, RateSample) {
    struct Row {
        int64_t bytes;
        int32_t expected;
    };
    const Row rows[] = {
        {0, 0},
        {2, 0},
        {3, 1},
        {3072, 1024},
        {3074, 1024},
        {-7, -2},
        {int64_t{INT32_MAX} * 3 + 2, INT32_MAX},
        {int64_t{INT32_MAX} * 3 + 3, INT32_MAX},
        {INT64_MAX, INT32_MAX},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("bytes " + std::to_string(r.bytes));
        EXPECT_EQ(RateOfSample(r.bytes), r.expected);
    }
}

TEST(BatchRules, ClockText) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct Row {
        int64_t t;
        const char* expectedUtf8;
    };
    const Row rows[] = {
        {1795824001, "11月28日　 00:00:01"},
        {1790000000, "09月21日　 14:13:20"},
        {0, "01月01日　 00:00:00"},
        {4102444799, "12月31日　 23:59:59"},  // past 2038
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("t " + std::to_string(r.t));
        EXPECT_EQ(batch::FormatLocalTime(r.t, Str(Sid::ClockFormat)), Sj(r.expectedUtf8));
    }
    // The exact bytes: month, 8C 8E, day, 93 FA, 81 40, one ASCII space, the time.
    EXPECT_EQ(batch::FormatLocalTime(1795824001, Str(Sid::ClockFormat)),
              "11\x8C\x8E"
              "28\x93\xFA\x81\x40 00:00:01");

    // Local time, not UTC.
    setenv("TZ", "JST-9", 1);
    tzset();
    EXPECT_EQ(batch::FormatLocalTime(1795824001, Str(Sid::ClockFormat)), Sj("11月28日　 09:00:01"));
    setenv("TZ", "UTC", 1);
    tzset();

    // A text that does not fit in 128 bytes, and a time that cannot be broken down, are empty.
    EXPECT_EQ(batch::FormatLocalTime(0, std::string(128, 'x')), "");
    EXPECT_EQ(batch::FormatLocalTime(0, std::string(127, 'x')), std::string(127, 'x'));
    EXPECT_EQ(batch::FormatLocalTime(INT64_MAX, Str(Sid::ClockFormat)), "");
}

}  // namespace
