// The file name of a URL path decides where a download lands: it must be a tail of the path's
// first 259 bytes, at most 255 bytes, free of separators, and never split a CP932 character.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/UrlFileName.h"
#include "resources/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string name = FileNameOfUrlPath(path);
    if (name.size() > 255) abort();
    const std::string window = path.substr(0, 259);
    // A piece of the window, starting right after a separator or at its start.
    size_t at = window.find(name, 0);
    if (!name.empty() && at == std::string::npos) abort();
    // No separator is left outside a double-byte character.
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (text::IsLeadByte(c)) {
            if (i + 1 >= name.size()) abort();  // a lead byte without its trail
            ++i;
            continue;
        }
        if (c == '/' || c == '\\' || c == ':') abort();
    }
    return 0;
}
