#include "platform/OsPath.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Exceptions.h"
#include "resources/Cp932.h"

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

std::string Displayable(std::string_view system) {
    if (auto whole = FromSystem(system)) return *whole;
    std::string out;
    char buf[16];
    for (size_t i = 0; i < system.size();) {
        char32_t cp = 0;
        size_t len = text::Utf8CharAt(system, i, cp);
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
