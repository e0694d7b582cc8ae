#include "platform/UrlFileName.h"

#include <algorithm>
#include <string>

#include "resources/Cp932.h"

namespace {

// Length of the CP932 character starting at s[i] within the first n bytes: 2 for a lead byte
// whose trail byte is inside the window, else 1.
size_t CharLen(const std::string& s, size_t i, size_t n) {
    return (text::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n) ? 2 : 1;
}

}  // namespace

std::string FileNameOfUrlPath(const std::string& urlPath) {
    // The splitter's buffer held 259 bytes of path; a lead byte whose trail fell outside it is
    // dropped rather than left dangling at the end of a name.
    size_t n = std::min<size_t>(urlPath.size(), 259);
    size_t start = 0;
    size_t end = n;
    for (size_t i = 0; i < n;) {
        unsigned char c = static_cast<unsigned char>(urlPath[i]);
        size_t len = CharLen(urlPath, i, n);
        if (len == 1 && text::IsLeadByte(c)) {
            end = i;
            break;
        }
        if (len == 1 && (c == '/' || c == '\\' || c == ':')) start = i + 1;
        i += len;
    }
    // At most 255 bytes, cut between characters.
    size_t cut = start;
    while (cut < end) {
        size_t len = CharLen(urlPath, cut, end);
        if (cut + len - start > 255) break;
        cut += len;
    }
    return urlPath.substr(start, cut - start);
}
