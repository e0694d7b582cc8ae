// CP932 (Shift-JIS with the vendor extensions) conversions. Inside the program every text is
// CP932 bytes; only the toolkit boundary converts. Beside the string table, below the platform:
// it depends on nothing of the program's own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace text {

// UTF-8 -> CP932. Returns nullopt when a character has no CP932 form or the input is not
// valid UTF-8; nothing is ever replaced silently.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// CP932 -> UTF-8. Bytes that are not valid CP932 are mapped one by one to U+FFFD so
// that displaying never fails; callers that must round-trip bytes use IsValidCp932 first.
std::string Cp932ToUtf8(std::string_view cp932);

// True when every byte sequence is valid CP932.
bool IsValidCp932(std::string_view cp932);

// True when `b` is a CP932 lead byte (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace text
