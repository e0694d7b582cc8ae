// A URL as it may be stored or shown outside the program: in a file's marks, in the log.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/UrlUserInfo.h"

// The length of the scheme `url` starts with ("http" of "http://h/"): a letter, then letters,
// digits, '+', '-' or '.', followed by ':'. 0 when it starts with none.
size_t SchemeLength(std::string_view url);

// `url` (CP932 text, as the job table holds it) as UTF-8, with the user info of its authority
// ("user:password@") left out; with keepUser, only the password (":password") is left out.
// nullopt when the text is not CP932.
std::optional<std::string> UrlWithoutCredentials(const std::string& url, bool keepUser);

// The user info of `url` (CP932 text, as typed), as byte offsets into that text; nullopt when it
// has none. For a text the session opens, exactly what the session's URL parser takes for the
// user name and password (UserInfoOfUrl on its UTF-8 form). A text that parser refuses is never
// sent anywhere, but may still be logged: its user info is looked for byte by byte, after
// "scheme:" and the slashes after it, up to the last '@' before the first '/', '?' or '#', so
// that more rather than less is taken for it (a CP932 trail byte '@' ends it too). With
// `schemeless`, a text without "scheme:/" is read so from its first non-blank byte, the way a
// reader that guesses the scheme takes "user:pw@host"; without, it has no user info.
std::optional<UrlUserInfo> UserInfoOfTypedUrl(const std::string& url, bool schemeless);
