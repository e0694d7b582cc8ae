#include "platform/OsPath.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Exceptions.h"
#include "resources/Text.h"

namespace ospath {

std::optional<std::string> TryToSystem(std::string_view cp932) {
    if (!text::IsValidCp932(cp932)) return std::nullopt;
    return text::Cp932ToUtf8(cp932);
}

std::string ToSystem(const std::string& cp932) {
    auto system = TryToSystem(cp932);
    if (!system) throw CFileException(CFileException::badPath, cp932);
    return *system;
}

std::optional<std::string> TryToSystemExpandingHome(std::string_view cp932) {
    const char* home = std::getenv("HOME");
    if (!cp932.starts_with('~') || (cp932.size() > 1 && cp932[1] != '/') || !home || !*home)
        return TryToSystem(cp932);
    auto rest = TryToSystem(cp932.substr(1));
    if (!rest) return std::nullopt;
    std::string system(home);
    while (!system.empty() && system.back() == '/') system.pop_back();
    if (rest->empty()) return system.empty() ? "/" : system;
    return system + *rest;
}

std::optional<std::string> FromSystem(std::string_view system) {
    return text::Utf8ToCp932(system);
}

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0.
size_t Utf8Len(std::string_view s, size_t i, char32_t& cp) {
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

}  // namespace

std::string Displayable(std::string_view system) {
    if (auto whole = FromSystem(system)) return *whole;
    std::string out;
    char buf[16];
    for (size_t i = 0; i < system.size();) {
        char32_t cp = 0;
        size_t len = Utf8Len(system, i, cp);
        if (len == 0) {
            std::snprintf(buf, sizeof buf, "<0x%02X>", static_cast<unsigned char>(system[i]));
            out += buf;
            ++i;
            continue;
        }
        if (auto piece = FromSystem(system.substr(i, len))) {
            out += *piece;
        } else {
            std::snprintf(buf, sizeof buf, "<U+%04X>", static_cast<unsigned>(cp));
            out += buf;
        }
        i += len;
    }
    return out;
}

}  // namespace ospath
