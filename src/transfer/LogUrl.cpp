#include "transfer/LogUrl.h"

#include <cctype>
#include <string_view>

#include "resources/Strings.h"

namespace {

bool IsSchemeChar(unsigned char c) {
    return std::isalnum(c) || c == '+' || c == '-' || c == '.';
}

// Where the authority begins: after "scheme:" and the slashes that curl accepts there. A text
// without that prefix is read from its first non-blank byte, the way curl guesses a scheme for
// "user:pass@host/path".
size_t AuthorityStart(const std::string& url) {
    size_t start = 0;
    while (start < url.size() && (url[start] == ' ' || url[start] == '\t')) ++start;
    size_t i = start;
    if (i < url.size() && std::isalpha(static_cast<unsigned char>(url[i]))) {
        while (i < url.size() && IsSchemeChar(static_cast<unsigned char>(url[i]))) ++i;
        if (i < url.size() && url[i] == ':') {
            size_t slashes = i + 1;
            while (slashes < url.size() && url[slashes] == '/') ++slashes;
            if (slashes > i + 1) return slashes;
        }
    }
    return start;
}

}  // namespace

std::string UrlForLog(const std::string& url) {
    const size_t start = AuthorityStart(url);
    const std::string_view rest = std::string_view(url).substr(start);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // The last '@' of the authority: an unescaped '@' inside a password is still password.
    const size_t at = authority.rfind('@');
    const size_t colon = authority.find(':');
    if (at == std::string_view::npos || colon == std::string_view::npos || colon > at) return url;
    return url.substr(0, start + colon + 1) + Str(Sid::LogHiddenPassword) + url.substr(start + at);
}
