// What a server sends, on any bytes: the text made fit to be shown (never past its cut, always
// CP932, no control byte anywhere), and the numbers the program parses from its headers, whose
// sums must never overflow (the build runs with the undefined-behaviour sanitizer). The first
// byte picks the cut; the rest is the server's text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/curl/CurlValidator.h"
#include "resources/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string shown = text::ShownServerText(in, data[0]);
    if (shown.size() > data[0] || !text::IsValidCp932(shown)) abort();
    for (unsigned char c : shown)
        if (c < 0x20 || c == 0x7F) abort();

    const auto count = curlnet::ParseCount(in);
    if (count &&
        (*count < 0 || curlnet::AnnouncedTotal(*count, INT64_MAX) != (*count ? -1 : INT64_MAX)))
        abort();
    if (auto r = curlnet::ParseContentRange(in)) {
        // What a resumed download announces from such a reply: the end of the range, plus one.
        if (r->last < INT64_MAX &&
            curlnet::AnnouncedTotal(r->last - r->first + 1, r->first) != r->last + 1)
            abort();
    }
    return 0;
}
