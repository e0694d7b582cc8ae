// Splitting and escaping a URL text for curl, and the file name a URL gives; no network.
#include "platform/curl/CurlUrl.h"

#include <algorithm>
#include <string_view>

#include "platform/UrlFileName.h"
#include "platform/curl/CurlErrorText.h"
#include "platform/curl/TypedUrl.h"
#include "resources/Text.h"

namespace curlnet {

namespace {

// One part of a parsed URL; empty when the URL has none.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* p = nullptr;
    if (curl_url_get(url, part, &p, flags) != CURLUE_OK || !p) return {};
    std::string s(p);
    curl_free(p);
    return s;
}

// What a browser escapes in a path or query: spaces always, bytes outside ASCII when `nonAscii`.
// Escapes the user typed are left as typed.
std::string Escape(std::string_view s, bool nonAscii) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == ' ' || (nonAscii && c >= 0x80)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// The whole of `url` as curl writes it, escaped as a browser escapes it everywhere but in the host
// name, which stays UTF-8 for curl's IDNA conversion.
std::string EscapedOutsideHost(CURLU* url) {
    const std::string whole = UrlPart(url, CURLUPART_URL);
    const std::string host = UrlPart(url, CURLUPART_HOST);
    size_t hostAt = whole.size(), hostEnd = whole.size();
    const size_t scheme = whole.find("://");
    if (scheme != std::string::npos && !host.empty()) {
        const size_t authority = scheme + 3;
        const size_t end = std::min(whole.find('/', authority), whole.size());
        const size_t at = whole.rfind('@', end);
        hostAt = (at != std::string::npos && at >= authority) ? at + 1 : authority;
        hostEnd = whole.compare(hostAt, host.size(), host) == 0 ? hostAt + host.size() : hostAt;
    }
    return Escape(std::string_view(whole).substr(0, hostAt), true) +
           whole.substr(hostAt, hostEnd - hostAt) +
           Escape(std::string_view(whole).substr(hostEnd), true);
}

}  // namespace

Utf8CtypeScope::Utf8CtypeScope() {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (utf8) m_previous = uselocale(utf8);
}

Utf8CtypeScope::~Utf8CtypeScope() {
    if (m_previous) uselocale(m_previous);
}

UrlParts SplitUrl(const std::string& text) {
    UrlParts parts;
    UrlPtr url(curl_url());
    if (!url) ThrowLibrary(CURLE_OUT_OF_MEMORY);
    // The text is CP932; URLs are UTF-8 on the wire, as browsers send them.
    if (!text::IsValidCp932(text)) ThrowUrlNotCp932();
    const std::string utf8 = text::Cp932ToUtf8(text);
    // Split as typed (spaces and non-ASCII kept raw), then escaped part by part below.
    CURLUcode rc = SetTypedUrl(url.get(), utf8);
    if (rc != CURLUE_OK) ThrowUrl(rc);

    parts.scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    const std::string path = UrlPart(url.get(), CURLUPART_PATH);
    char* q = nullptr;
    const bool hasQuery = curl_url_get(url.get(), CURLUPART_QUERY, &q, 0) == CURLUE_OK && q;
    const std::string query = hasQuery ? q : "";
    curl_free(q);

    // The name is the path as the user typed it: a Japanese name stays Japanese, a typed escape
    // stays an escape; only spaces read as the escape they travel as.
    // Appended piece by piece: g++ 12 at -O3 reports a false -Wrestrict for "?" + std::string.
    std::string typed = Escape(path, false);
    if (hasQuery) {
        typed += '?';
        typed += Escape(query, false);
    }
    auto typedCp932 = text::Utf8ToCp932(typed);
    parts.fileName = FileNameOfUrlPath(typedCp932 ? *typedCp932 : Escape(typed, true));

    // The host stays UTF-8 for curl's IDNA conversion; the path and query leave escaped. The
    // URL is set whole: setting the path or the query alone lower-cases every escape in it,
    // and the escapes the user typed leave as typed.
    if (curl_url_set(url.get(), CURLUPART_URL, EscapedOutsideHost(url.get()).c_str(),
                     CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        ThrowUrl(CURLUE_MALFORMED_INPUT);
    if (parts.scheme == "file")
        parts.localPath = UrlPart(url.get(), CURLUPART_PATH, CURLU_URLDECODE);
    parts.url = url.release();
    return parts;
}

UrlParts::~UrlParts() {
    if (url) curl_url_cleanup(url);
}

}  // namespace curlnet
