// Where a URL text holds its user name and password, as the URL parser that sends the request
// reads it. Declared here, free of the internet library, for the logic that stores and shows URLs;
// the parser behind it is the internet layer's own (curl/TypedUrl.cpp), so that what is taken
// out of a stored or shown URL is exactly what would have gone to the server.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Byte offsets of the user info in a URL text.
struct UrlUserInfo {
    size_t begin = 0;  // the user name's first byte
    size_t colon = 0;  // the ':' before the password; == at when there is no password
    size_t at = 0;     // the '@' that ends the user info
    bool HasPassword() const { return colon < at; }
};

struct ParsedUserInfo {
    bool accepted = false;                // the parser takes the text (else it is never sent)
    std::optional<UrlUserInfo> userInfo;  // nullopt: the URL carries no user info
};

// The user info of `utf8`, a URL text in the form a session parses it (the list's CP932 text
// converted to UTF-8), with the same parser and the same flags as the session's open: one, two
// or three slashes after the scheme, the user info up to the first '@' of the authority. A text
// holding a NUL byte is refused, as the open refuses it. Never throws.
ParsedUserInfo UserInfoOfUrl(std::string_view utf8);
