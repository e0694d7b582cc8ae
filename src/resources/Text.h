// CP932 (Shift-JIS with the vendor extensions) conversions. Inside the program every text is
// CP932 bytes; only the toolkit boundary converts. Beside the string table, below the platform:
// it depends on nothing of the program's own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// UTF-8 -> CP932. Returns nullopt when the input is not valid UTF-8 or a character has no CP932
// form; nothing is ever replaced silently. A character has a CP932 form only when its bytes
// read back as that same character: glibc gives U+301C 〜, U+2212 −, U+2016 ‖, U+2014 —,
// ¢ £ ¬ the bytes of ～ － ∥ ― ￠ ￡ ￢, so those have none here.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Utf8ToCp932 for the text of a URL, as a browser's address bar writes it: a character whose
// CP932 bytes would read back as another one (〜 and the rest above) is written as the
// percent-escape of its UTF-8 bytes ("%E3%80%9C"), so the server is asked for the character
// typed. nullopt as Utf8ToCp932 for any character CP932 has no bytes for at all.
std::optional<std::string> Utf8UrlToCp932(std::string_view utf8);

// CP932 -> UTF-8. Bytes that are not valid CP932 are mapped one by one to U+FFFD so
// that displaying never fails; callers that must round-trip bytes use IsValidCp932 first.
std::string Cp932ToUtf8(std::string_view cp932);

// True when every byte sequence is valid CP932.
bool IsValidCp932(std::string_view cp932);

// True when `bytes` are well-formed UTF-8 (no overlong form, surrogate or code point past
// U+10FFFF) and hold at least one character outside ASCII; a byte-order mark counts as one.
bool IsUtf8WithNonAscii(std::string_view bytes);

// The longest prefix of the CP932 text `cp932` that ends between characters and whose UTF-8
// form has at most maxUtf8Bytes bytes (Linux file systems count a name's bytes on disk, where a
// kanji takes 3 and a half-width katakana 3). REQUIRES: IsValidCp932(cp932).
size_t Cp932CutAtUtf8Bytes(std::string_view cp932, size_t maxUtf8Bytes);

// The length of the well-formed UTF-8 character at s[i] (1 to 4), its code point in `cp`;
// 0 when none starts there. REQUIRES: i < s.size().
size_t Utf8CharAt(std::string_view s, size_t i, char32_t& cp);

// The longest prefix of the UTF-8 text `s` that has at most maxBytes bytes and does not end
// inside a character: s.size() when it fits, else maxBytes less any continuation bytes.
size_t Utf8CutAt(std::string_view s, size_t maxBytes);

// The most bytes of server text that ShownServerText keeps: well inside one line of the log.
constexpr size_t kShownServerTextBytes = 200;

// Text that came from a server or the internet library (a reason phrase, an FTP reply, an error
// text that may quote either), made fit to be shown or logged, never obeyed: every control
// character (C0, DEL, C1) becomes a space, so that no escape sequence, bell or bare CR reaches a
// terminal or forges a log line; bytes that are valid UTF-8 holding non-ASCII are read as UTF-8,
// any other as CP932, and a character with no CP932 form, or a byte that is no CP932 character,
// becomes '?'; the result is cut at a character boundary to at most maxBytes bytes. Always
// valid CP932 without control bytes.
std::string ShownServerText(std::string_view bytes, size_t maxBytes = kShownServerTextBytes);

// True when `b` is a CP932 lead byte (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace text
