// Text that comes in from the user or the system as UTF-8 and must become CP932 bytes.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Utf8ToCp932, or throws CTextException with the program's clear message when a character has
// no CP932 form: the operation that needs the bytes stops, nothing is replaced.
std::string Utf8ToCp932OrThrow(std::string_view utf8);

// The same for typed URLs (text::Utf8UrlToCp932): a character whose CP932 bytes would name
// another one reaches the server as its UTF-8 percent-escape; only a character CP932 has no
// bytes for at all stops the operation with the clear message.
std::string Utf8UrlToCp932OrThrow(std::string_view utf8);

}  // namespace text
