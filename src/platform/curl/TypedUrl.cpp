// The typed URL's parse, and the user info it finds. Linked into the logic's library on its own
// (the rest of the internet layer is not), since the logic asks it where a password is.
#include "platform/curl/TypedUrl.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "platform/UrlUserInfo.h"

namespace curlnet {

CURLUcode SetTypedUrl(CURLU* url, std::string_view utf8) {
    if (utf8.find('\0') != std::string_view::npos) return CURLUE_MALFORMED_INPUT;
    return curl_url_set(url, CURLUPART_URL, std::string(utf8).c_str(),
                        CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE);
}

}  // namespace curlnet

namespace {

// One part as curl holds it, undecoded (the bytes of the text); nullopt when the URL has none.
std::optional<std::string> Part(CURLU* url, CURLUPart part) {
    char* p = nullptr;
    if (curl_url_get(url, part, &p, 0) != CURLUE_OK || !p) return std::nullopt;
    std::string s(p);
    curl_free(p);
    return s;
}

}  // namespace

ParsedUserInfo UserInfoOfUrl(std::string_view text) {
    ParsedUserInfo parsed;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
    if (!url || curlnet::SetTypedUrl(url.get(), text) != CURLUE_OK) return parsed;
    parsed.accepted = true;
    const auto user = Part(url.get(), CURLUPART_USER);
    const auto password = Part(url.get(), CURLUPART_PASSWORD);
    const auto scheme = Part(url.get(), CURLUPART_SCHEME);
    if ((!user && !password) || !scheme) return parsed;
    // An accepted text starts with its scheme (in any case), ':' and one to three slashes.
    size_t begin = scheme->size() + 1;
    while (begin < text.size() && text[begin] == '/') ++begin;
    // curl's lengths place the ':' and the '@'; should curl have held back part of the user info
    // (login options of some scheme), its own rule finds them: the first '@' of the authority.
    UrlUserInfo info{begin, begin + (user ? user->size() : 0), 0};
    info.at = password ? info.colon + 1 + password->size() : info.colon;
    const bool placed =
        info.at < text.size() && text[info.at] == '@' && (!password || text[info.colon] == ':');
    if (!placed) {
        info.at = text.find('@', begin);
        if (info.at == std::string_view::npos) return parsed;  // not reached: curl found one
        info.colon = std::min(text.find(':', begin), info.at);
    }
    parsed.userInfo = info;
    return parsed;
}
