// CP932 conversions both ways: never crash; valid CP932 survives a round trip byte for byte;
// UTF-8 that converts comes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "resources/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);

    std::string utf8 = text::Cp932ToUtf8(in);
    if (text::IsValidCp932(in)) {
        auto back = text::Utf8ToCp932(utf8);
        // A few CP932 codes share one Unicode character (NEC/IBM duplicates); those map to
        // one canonical form, so compare after one more round.
        if (!back) abort();
        auto again = text::Utf8ToCp932(text::Cp932ToUtf8(*back));
        if (!again || *again != *back) abort();
    }

    auto cp = text::Utf8ToCp932(in);
    if (cp) {
        if (text::Cp932ToUtf8(*cp) != std::string(in)) {
            // Same duplicate-mapping caveat: the CP932 form must at least be stable.
            auto again = text::Utf8ToCp932(text::Cp932ToUtf8(*cp));
            if (!again || *again != *cp) abort();
        }
    }
    return 0;
}
