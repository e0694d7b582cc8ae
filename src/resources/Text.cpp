#include "resources/Text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>


namespace text {

namespace {

// One conversion with glibc iconv. Returns false on any invalid or unconvertible sequence.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    out.clear();
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    bool ok = true;
    while (srcLeft > 0) {
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                size_t used = out.size() - dstLeft;
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
                continue;
            }
            ok = false;
            break;
        }
        if (r != 0) {  // irreversible (approximated) conversions count as failures
            ok = false;
            break;
        }
    }
    if (ok && iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) ok = false;
    out.resize(out.size() - dstLeft);
    iconv_close(cd);
    return ok;
}

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    std::string out;
    if (!Convert("CP932", "UTF-8", utf8, out)) return std::nullopt;
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    if (Convert("UTF-8", "CP932", cp932, out)) return out;
    // Slow path: convert character by character, invalid ones as U+FFFD.
    out.clear();
    size_t i = 0;
    while (i < cp932.size()) {
        unsigned char b = static_cast<unsigned char>(cp932[i]);
        size_t len = (IsLeadByte(b) && i + 1 < cp932.size()) ? 2 : 1;
        std::string piece;
        if (Convert("UTF-8", "CP932", cp932.substr(i, len), piece)) {
            out += piece;
        } else if (len == 2 && Convert("UTF-8", "CP932", cp932.substr(i, 1), piece)) {
            out += piece;
            len = 1;
        } else {
            // An unassigned pair is one character; but a lead byte whose next byte cannot trail
            // loses only itself, and that byte (a line feed, say) is read again on its own.
            out += "\xEF\xBF\xBD";
            if (len == 2) {
                unsigned char t = static_cast<unsigned char>(cp932[i + 1]);
                if (t < 0x40 || t == 0x7F || t > 0xFC) len = 1;
            }
        }
        i += len;
    }
    return out;
}

bool IsValidCp932(std::string_view cp932) {
    std::string out;
    return Convert("UTF-8", "CP932", cp932, out);
}

}  // namespace text
