// Text that comes in from the user or the system as UTF-8 and must become CP932 bytes.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Utf8ToCp932, or throws CTextException with the program's clear message when a character has
// no CP932 form: the operation that needs the bytes stops, nothing is replaced.
std::string Utf8ToCp932OrThrow(std::string_view utf8);

}  // namespace text
