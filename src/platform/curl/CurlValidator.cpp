#include "platform/curl/CurlValidator.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace curlnet {

namespace {

// Longer values are not what a server sends for a version: refused rather than stored.
constexpr size_t kMaxValueBytes = 512;

// The next field up to a space, taken off the front of `s`.
std::string_view TakeField(std::string_view& s) {
    size_t sp = s.find(' ');
    std::string_view field = s.substr(0, sp);
    s.remove_prefix(sp == std::string_view::npos ? s.size() : sp + 1);
    return field;
}

// A date as servers write it: printable ASCII and spaces, nothing that could end a header.
bool IsUsableDate(std::string_view s) {
    return !s.empty() && s.size() <= kMaxValueBytes && s.front() != ' ' && s.back() != ' ' &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string LengthText(int64_t n) {
    return n >= 0 ? std::to_string(n) : "-";
}

}  // namespace

std::optional<int64_t> ParseCount(std::string_view s) {
    // from_chars alone would take a sign; a count is digits only.
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int64_t n = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;  // past int64_t
    return n;
}

int64_t AnnouncedTotal(int64_t length, int64_t dataStart) {
    int64_t total = 0;
    if (length < 0 || dataStart < 0 || __builtin_add_overflow(length, dataStart, &total)) return -1;
    return total;
}

bool IsStrongEtag(std::string_view v) {
    if (v.size() < 2 || v.size() > kMaxValueBytes || v.front() != '"' || v.back() != '"')
        return false;
    // etagc: %x21 / %x23-7E / obs-text
    return std::all_of(v.begin() + 1, v.end() - 1, [](char ch) {
        unsigned char c = static_cast<unsigned char>(ch);
        return c == 0x21 || (c >= 0x23 && c != 0x7F);
    });
}

std::string FormatHttpValidator(const HttpValidator& v) {
    if (IsStrongEtag(v.etag)) return "http " + LengthText(v.length) + " etag " + v.etag;
    if (IsUsableDate(v.lastModified))
        return "http " + LengthText(v.length) + " date " + v.lastModified;
    return {};
}

std::optional<HttpValidator> ParseHttpValidator(std::string_view text) {
    if (TakeField(text) != "http") return std::nullopt;
    HttpValidator v;
    std::string_view length = TakeField(text);
    if (length != "-") {
        auto n = ParseCount(length);
        if (!n) return std::nullopt;
        v.length = *n;
    }
    std::string_view kind = TakeField(text);
    if (kind == "etag" && IsStrongEtag(text)) {
        v.etag = text;
    } else if (kind == "date" && IsUsableDate(text)) {
        v.lastModified = text;
    } else {
        return std::nullopt;
    }
    return v;
}

std::string IfRangeValue(const HttpValidator& v) {
    return v.etag.empty() ? v.lastModified : v.etag;
}

std::string FormatFtpValidator(const FtpValidator& v) {
    if (v.size < 0 || v.mtime < 0) return {};
    return "ftp " + std::to_string(v.size) + " " + std::to_string(v.mtime);
}

std::optional<FtpValidator> ParseFtpValidator(std::string_view text) {
    if (TakeField(text) != "ftp") return std::nullopt;
    auto size = ParseCount(TakeField(text));
    auto mtime = ParseCount(text);
    if (!size || !mtime) return std::nullopt;
    return FtpValidator{*size, *mtime};
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
    if (value.substr(0, 6) != "bytes ") return std::nullopt;
    value.remove_prefix(6);
    size_t dash = value.find('-'), slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return std::nullopt;
    auto first = ParseCount(value.substr(0, dash));
    auto last = ParseCount(value.substr(dash + 1, slash - dash - 1));
    std::string_view totalText = value.substr(slash + 1);
    if (!first || !last || *last < *first) return std::nullopt;
    ContentRange r{*first, *last, -1};
    if (totalText != "*") {
        auto total = ParseCount(totalText);
        if (!total || *total <= *last) return std::nullopt;
        r.total = *total;
    }
    return r;
}

std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(name[i])))
            return std::nullopt;
    }
    std::string_view v = line.substr(name.size() + 1);
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!v.empty() && blank(v.front())) v.remove_prefix(1);
    while (!v.empty() && blank(v.back())) v.remove_suffix(1);
    return v;
}

}  // namespace curlnet
