// What a server sends and the program reads or shows, on any bytes: the text made fit to be
// shown (never longer than its cut, always CP932, no control byte anywhere), and the header
// values it parses (counts, Content-Range, header lines, the validators a later run reads back),
// whose sums and comparisons must never overflow (the build runs with the undefined-behaviour
// sanitizer). The first byte picks the cut; the rest is the server's text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/curl/CurlValidator.h"
#include "resources/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t cut = data[0];
    const std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string shown = text::ShownServerText(in, cut);
    if (shown.size() > cut || !text::IsValidCp932(shown)) abort();
    for (unsigned char c : shown)
        if (c < 0x20 || c == 0x7F) abort();
    if (text::ShownServerText(in).size() > text::kShownServerTextBytes) abort();

    using namespace curlnet;
    if (auto n = ParseCount(in); n && *n < 0) abort();
    if (auto r = ParseContentRange(in)) {
        if (r->first < 0 || r->last < r->first || (r->total >= 0 && r->total <= r->last)) abort();
        // What the resumed download checks and announces from such a reply.
        if (r->last < INT64_MAX && AnnouncedTotal(r->last - r->first + 1, r->first) != r->last + 1)
            abort();
        if (AnnouncedTotal(INT64_MAX, r->first) != (r->first == 0 ? INT64_MAX : -1)) abort();
    }
    if (auto v = HeaderValue(in, "Content-Length"); v && ParseCount(*v)) {
        if (AnnouncedTotal(*ParseCount(*v), 0) != *ParseCount(*v)) abort();
    }
    if (auto v = ParseHttpValidator(in)) {
        if (FormatHttpValidator(*v).empty() || !ParseHttpValidator(FormatHttpValidator(*v)))
            abort();
    }
    if (auto v = ParseFtpValidator(in)) {
        if (ParseFtpValidator(FormatFtpValidator(*v))->size != v->size) abort();
    }
    return 0;
}
