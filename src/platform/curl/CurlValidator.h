// What identifies one version of a remote resource, so that a later transfer continues a partial
// copy only while the resource is unchanged. The text is this layer's own and is never shown:
//   "http <length> etag <strong ETag>"   or   "http <length> date <Last-Modified>"
//   "ftp <size> <modification time in seconds since 1970>"
// where <length> is the full length in bytes, or "-" when the server did not tell it. A text
// handed back may have lain on disk for months, or been written by anyone: parsing refuses
// whatever this layer would not have made, control characters above all (the value goes into a
// request header).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace curlnet {

struct HttpValidator {
    std::string etag;          // a strong ETag with its quotes, or empty
    std::string lastModified;  // the Last-Modified value; used only without an ETag
    int64_t length = -1;       // full length of the resource, -1 when unknown
};
// Empty when there is nothing to compare (no strong ETag, no usable date).
std::string FormatHttpValidator(const HttpValidator& v);
// The parsed text, holding either an etag or a date; nullopt for any other text.
std::optional<HttpValidator> ParseHttpValidator(std::string_view text);
// The value for If-Range: the ETag, else the date. REQUIRES: a parsed validator.
std::string IfRangeValue(const HttpValidator& v);

struct FtpValidator {
    int64_t size = -1;   // SIZE reply
    int64_t mtime = -1;  // MDTM reply, seconds since 1970 (UTC)
};
// Empty unless both the size and the time are known.
std::string FormatFtpValidator(const FtpValidator& v);
std::optional<FtpValidator> ParseFtpValidator(std::string_view text);

// A decimal count without sign or blanks (a SIZE reply, a header's number); nullopt otherwise,
// and for a count past the largest int64_t: a server's number is never wrapped.
std::optional<int64_t> ParseCount(std::string_view s);

// The size of a resource whose data starts at byte `dataStart` and announces `length` bytes
// from there: their sum, or -1 (unknown) when either is unknown (negative) or the sum would pass
// the largest int64_t (a Content-Length near 2^63 on a 206 reply).
int64_t AnnouncedTotal(int64_t length, int64_t dataStart);

// A strong entity tag: "..." of visible characters; a weak one (W/"...") cannot go into
// If-Range, where it never matches.
bool IsStrongEtag(std::string_view value);

// A Content-Range value "bytes <first>-<last>/<total>" ("*" for an unknown total: -1).
struct ContentRange {
    int64_t first = 0, last = 0, total = -1;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// A header line "Name: value\r\n" whose name is `name` (case-insensitive): the value without
// surrounding blanks. nullopt for another header.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name);

}  // namespace curlnet
