// The numbered-list dialog's integer fields take any bytes a user can type or paste. Reading
// must never crash, and an accepted text must mean the number its digits say (saturated to 32
// bits), with nothing but blanks around it within the first 31 bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lists/SerialDlg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    int32_t value = 12345;
    if (!ReadDialogInteger(in, &value)) {
        if (value != 12345) abort();  // a refusal leaves the field alone
        return 0;
    }
    // Recompute independently from the first 31 bytes.
    std::string_view s = in.substr(0, 31);
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9') abort();  // accepted without a digit
    int64_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i++] - '0');
        if (v > INT64_C(1) << 40) v = INT64_C(1) << 40;
    }
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i != s.size()) abort();  // trailing junk accepted
    if (neg) v = -v;
    int64_t want = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v;
    if (value != want) abort();
    return 0;
}
