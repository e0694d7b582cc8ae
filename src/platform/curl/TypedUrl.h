// The one reading of a typed URL text: the session's open and the search for the user info in a
// URL that is stored or shown (UrlUserInfo.h) parse it with the same call and the same flags, so
// the two can never disagree about where the password is.
#pragma once

#include <curl/curl.h>

#include <string_view>

namespace curlnet {

// Sets `url` from `utf8` as typed: any scheme (refused later when it is not fetched), spaces kept
// raw to be escaped afterwards. A text with a NUL byte is malformed input: curl would read only
// the bytes before it, and fetch another URL than the one the line holds.
CURLUcode SetTypedUrl(CURLU* url, std::string_view utf8);

}  // namespace curlnet
