#include "transfer/UrlCredentials.h"

#include "resources/Text.h"

std::optional<std::string> UrlWithoutCredentials(const std::string& url, bool keepUser) {
    if (!text::IsValidCp932(url)) return std::nullopt;
    // In UTF-8 no byte of a multibyte character is ASCII, so '@' and ':' are found byte-wise
    // (a CP932 trail byte can be '@').
    std::string u = text::Cp932ToUtf8(url);
    size_t start = u.find("://");
    if (start == std::string::npos) return u;
    start += 3;
    size_t end = u.find_first_of("/?#", start);
    if (end == std::string::npos) end = u.size();
    // The host follows the last '@' of the authority.
    size_t at = std::string_view(u).substr(start, end - start).rfind('@');
    if (at == std::string::npos) return u;
    at += start;
    if (!keepUser) {
        u.erase(start, at + 1 - start);
    } else {
        size_t colon = u.find(':', start);
        if (colon < at) u.erase(colon, at - colon);
    }
    return u;
}
