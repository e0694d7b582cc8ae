// A URL as it may be stored outside the program: in a file's marks.
#pragma once

#include <optional>
#include <string>

// `url` (CP932 text, as the job table holds it) as UTF-8, with the user info of its authority
// ("user:password@") left out; with keepUser, only the password (":password") is left out.
// nullopt when the text is not CP932.
std::optional<std::string> UrlWithoutCredentials(const std::string& url, bool keepUser);
