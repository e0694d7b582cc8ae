#include "resources/Text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace text {

namespace {

// One glibc iconv descriptor, used for several conversions in a row.
class Converter {
  public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in` whole into `out`. False on any invalid or unconvertible sequence.
    bool Run(std::string_view in, std::string& out) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
        out.clear();
        out.resize(in.size() * 4 + 16);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        bool ok = true;
        while (srcLeft > 0) {
            size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
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
        if (ok && iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1))
            ok = false;
        out.resize(out.size() - dstLeft);
        return ok;
    }

  private:
    iconv_t m_cd;
};

bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
    Converter c(to, from);
    return c.Run(in, out);
}

// Both directions, for the check that bytes read back as what they were made from.
struct Cp932Pair {
    Converter to{"CP932", "UTF-8"};
    Converter back{"UTF-8", "CP932"};
    std::string check;

    // glibc counts the mapping of 〜 to the bytes of ～ as reversible; only reading the bytes
    // back shows that they name another character.
    bool Exact(std::string_view utf8, std::string& out) {
        return to.Run(utf8, out) && back.Run(out, check) && check == utf8;
    }
};

}  // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    Cp932Pair cp932;
    std::string out;
    if (!cp932.Exact(utf8, out)) return std::nullopt;
    return out;
}

std::optional<std::string> Utf8UrlToCp932(std::string_view utf8) {
    Cp932Pair cp932;
    std::string out;
    if (cp932.Exact(utf8, out)) return out;
    // Rare: character by character, to find the ones to escape.
    static constexpr char kHex[] = "0123456789ABCDEF";
    out.clear();
    std::string piece;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t len = Utf8CharAt(utf8, i, cp);
        if (len == 0) return std::nullopt;
        const std::string_view ch = utf8.substr(i, len);
        if (cp932.Exact(ch, piece)) {
            out += piece;
        } else if (cp932.to.Run(ch, piece)) {  // bytes of another character
            for (unsigned char b : ch) {
                out += '%';
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
        } else {
            return std::nullopt;
        }
        i += len;
    }
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    if (Convert("UTF-8", "CP932", cp932, out)) return out;
    // Slow path: convert character by character, invalid ones as U+FFFD.
    Converter toUtf8("UTF-8", "CP932");
    out.clear();
    std::string piece;
    size_t i = 0;
    while (i < cp932.size()) {
        unsigned char b = static_cast<unsigned char>(cp932[i]);
        size_t len = (IsLeadByte(b) && i + 1 < cp932.size()) ? 2 : 1;
        if (toUtf8.Run(cp932.substr(i, len), piece)) {
            out += piece;
        } else if (len == 2 && toUtf8.Run(cp932.substr(i, 1), piece)) {
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

std::string ShownServerText(std::string_view in, size_t maxBytes) {
    std::string out, piece;
    // Appends one character's bytes; false once they no longer fit.
    auto put = [&](std::string_view shown) {
        if (out.size() + shown.size() > maxBytes) return false;
        out += shown;
        return true;
    };
    if (IsUtf8WithNonAscii(in)) {
        Cp932Pair cp932;
        char32_t cp = 0;
        for (size_t i = 0; i < in.size();) {
            const size_t len = Utf8CharAt(in, i, cp);  // never 0: the whole text is UTF-8
            std::string_view shown = in.substr(i, len);
            if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F))
                shown = " ";
            else if (len > 1)
                shown = cp932.Exact(shown, piece) ? std::string_view(piece) : "?";
            if (!put(shown)) break;
            i += len;
        }
        return out;
    }
    Converter toUtf8("UTF-8", "CP932");
    for (size_t i = 0; i < in.size();) {
        const unsigned char b = static_cast<unsigned char>(in[i]);
        size_t len = 1;
        if (IsLeadByte(b) && i + 1 < in.size()) {
            // A pair whose second byte may trail is one character, valid or not; a lead byte
            // before anything else is a bad byte alone, and the next one is read on its own.
            const unsigned char t = static_cast<unsigned char>(in[i + 1]);
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) len = 2;
        }
        std::string_view shown = in.substr(i, len);
        if (b < 0x20 || b == 0x7F)
            shown = " ";
        else if (b >= 0x80 && !toUtf8.Run(shown, piece))
            shown = "?";
        if (!put(shown)) break;
        i += len;
    }
    return out;
}

bool IsValidCp932(std::string_view cp932) {
    std::string out;
    return Convert("UTF-8", "CP932", cp932, out);
}

size_t Cp932CutAtUtf8Bytes(std::string_view cp932, size_t maxUtf8Bytes) {
    // Each CP932 character becomes one UTF-8 character: the two are walked side by side.
    const std::string utf8 = Cp932ToUtf8(cp932);
    size_t i = 0, j = 0;
    char32_t cp = 0;
    while (i < cp932.size()) {
        const size_t len = IsLeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
        const size_t utf8Len = j < utf8.size() ? Utf8CharAt(utf8, j, cp) : 0;
        if (utf8Len == 0 || j + utf8Len > maxUtf8Bytes) break;
        i += len;
        j += utf8Len;
    }
    return std::min(i, cp932.size());
}

size_t Utf8CutAt(std::string_view s, size_t maxBytes) {
    if (maxBytes >= s.size()) return s.size();
    size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

size_t Utf8CharAt(std::string_view s, size_t i, char32_t& cp) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    cp = len == 1 ? b : b & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool IsUtf8WithNonAscii(std::string_view bytes) {
    bool nonAscii = false;
    char32_t cp = 0;
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = Utf8CharAt(bytes, i, cp);
        if (len == 0) return false;
        nonAscii = nonAscii || len > 1;
        i += len;
    }
    return nonAscii;
}

}  // namespace text
