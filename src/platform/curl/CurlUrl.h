// The text of a URL, before any connection is made: the list's CP932 bytes split and escaped the
// way a browser sends them (spaces and bytes outside ASCII escaped in the path and the query,
// escapes the user typed left as typed, the host kept UTF-8 for curl's IDNA conversion), and the
// file name taken from the path as the user typed it.
#pragma once

#include <curl/curl.h>
#include <locale.h>

#include <memory>
#include <string>

namespace curlnet {

// What opening a URL takes from its text, before any connection is made.
struct UrlParts {
    UrlParts() = default;
    UrlParts(UrlParts&& o) noexcept
        : scheme(std::move(o.scheme)),
          fileName(std::move(o.fileName)),
          localPath(std::move(o.localPath)),
          url(o.url) {
        o.url = nullptr;
    }
    UrlParts& operator=(UrlParts&&) = delete;
    ~UrlParts();
    std::string scheme;       // lower case, as curl hands it out
    std::string fileName;     // FileNameOfUrlPath of the path with its query
    std::string localPath;    // file: only, percent-decoded: the system's bytes of the name
    Curl_URL* url = nullptr;  // owned: the parsed URL handed to the transfer
};
// Canonicalises and splits `text`; touches no network. Throws CInternetException when the text
// is not a URL (a text holding a NUL byte included: curl's message for malformed input).
UrlParts SplitUrl(const std::string& text);

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using UrlPtr = std::unique_ptr<CURLU, UrlDeleter>;

// libcurl turns a UTF-8 host name into IDNA (punycode) through libidn2, which reads its input in
// the charset of the thread's LC_CTYPE. Hosts are UTF-8 here whatever the user's locale (C, say),
// so curl runs under a UTF-8 LC_CTYPE for this thread only, for the life of this scope.
class Utf8CtypeScope {
  public:
    Utf8CtypeScope();
    ~Utf8CtypeScope();
    Utf8CtypeScope(const Utf8CtypeScope&) = delete;
    Utf8CtypeScope& operator=(const Utf8CtypeScope&) = delete;

  private:
    locale_t m_previous{};  // null when the UTF-8 locale could not be had
};

}  // namespace curlnet
