#include "transfer/UrlCredentials.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "resources/Cp932.h"

namespace {

bool IsSchemeChar(unsigned char c) {
    return std::isalnum(c) || c == '+' || c == '-' || c == '.';
}

// Where the authority of a text the URL parser refused begins: after "scheme:" and one or more
// slashes; else, when `schemeless`, at the first non-blank byte; else nowhere.
std::optional<size_t> AuthorityStart(std::string_view url, bool schemeless) {
    size_t start = 0;
    while (start < url.size() && (url[start] == ' ' || url[start] == '\t')) ++start;
    if (const size_t scheme = SchemeLength(url.substr(start))) {
        const size_t colon = start + scheme;
        size_t slashes = colon + 1;
        while (slashes < url.size() && url[slashes] == '/') ++slashes;
        if (slashes > colon + 1) return slashes;
    }
    if (!schemeless) return std::nullopt;
    return start;
}

std::optional<UrlUserInfo> ScannedUserInfo(std::string_view url, bool schemeless) {
    const auto start = AuthorityStart(url, schemeless);
    if (!start) return std::nullopt;
    const std::string_view rest = url.substr(*start);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // The last '@' of the authority: an unescaped '@' inside a password is still password.
    const size_t at = authority.rfind('@');
    if (at == std::string_view::npos) return std::nullopt;
    return UrlUserInfo{*start, *start + std::min(authority.find(':'), at), *start + at};
}

// The CP932 offset of the UTF-8 offset `utf8At` of `utf8`, the UTF-8 form of a CP932 text; a
// character takes the same number of bytes however often it goes back and forth.
std::optional<size_t> Cp932Offset(std::string_view utf8, size_t utf8At) {
    const auto prefix = text::Utf8ToCp932(utf8.substr(0, utf8At));
    if (!prefix) return std::nullopt;
    return prefix->size();
}

}  // namespace

size_t SchemeLength(std::string_view url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) return 0;
    size_t i = 1;
    while (i < url.size() && IsSchemeChar(static_cast<unsigned char>(url[i]))) ++i;
    return i < url.size() && url[i] == ':' ? i : 0;
}

std::optional<UrlUserInfo> UserInfoOfTypedUrl(const std::string& url, bool schemeless) {
    if (!text::IsValidCp932(url)) return ScannedUserInfo(url, schemeless);
    const std::string utf8 = text::Cp932ToUtf8(url);
    const ParsedUserInfo parsed = UserInfoOfUrl(utf8);
    if (!parsed.accepted) return ScannedUserInfo(url, schemeless);
    if (!parsed.userInfo) return std::nullopt;
    // The offsets lie on ASCII bytes, which are the same in both forms; only what comes before
    // them may differ in length.
    const auto begin = Cp932Offset(utf8, parsed.userInfo->begin);
    const auto colon = Cp932Offset(utf8, parsed.userInfo->colon);
    const auto at = Cp932Offset(utf8, parsed.userInfo->at);
    if (!begin || !colon || !at) return ScannedUserInfo(url, schemeless);
    return UrlUserInfo{*begin, *colon, *at};
}

std::optional<std::string> UrlWithoutCredentials(const std::string& url, bool keepUser) {
    if (!text::IsValidCp932(url)) return std::nullopt;
    std::string u = url;
    if (const auto info = UserInfoOfTypedUrl(url, false)) {
        if (!keepUser)
            u.erase(info->begin, info->at + 1 - info->begin);
        else
            u.erase(info->colon, info->at - info->colon);
    }
    return text::Cp932ToUtf8(u);
}
