// CP932 conversions at the toolkit boundary: the vendor characters that strict Shift_JIS lacks,
// half-width katakana, and the refusal of characters with no CP932 form.
#include <gtest/gtest.h>

#include <string>

#include "platform/Exceptions.h"
#include "platform/TextInput.h"
#include "resources/Cp932.h"
#include "resources/Strings.h"

namespace {

std::string Hex(const std::string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

struct Conversion {
    const char* name;
    const char* utf8;   // what the user typed
    const char* cp932;  // the bytes the program holds
    const char* back;   // what the control shows when the bytes come back
};

const Conversion kConversions[] = {
    {"hiragana", "あいう", "\x82\xA0\x82\xA2\x82\xA4", "あいう"},
    {"kanji", "漢字", "\x8A\xBF\x8E\x9A", "漢字"},
    {"half-width katakana", "ｱｲｳﾞ", "\xB1\xB2\xB3\xDE", "ｱｲｳﾞ"},
    {"fullwidth tilde U+FF5E", "～", "\x81\x60", "～"},
    {"ideographic space U+3000", "　", "\x81\x40", "　"},
    {"NEC special circled one", "①", "\x87\x40", "①"},
    {"IBM extension small roman one", "ⅰ", "\xFA\x40", "ⅰ"},
    {"ASCII with CR LF", "http://a/b.zip\r\n", "http://a/b.zip\r\n", "http://a/b.zip\r\n"},
    {"trail byte 0x5C (ソ)", "ソ\\", "\x83\x5C\x5C", "ソ\\"},
    {"empty", "", "", ""},
};

TEST(Cp932, ConvertsBothWays) {
    for (const Conversion& c : kConversions) {
        SCOPED_TRACE(c.name);
        auto bytes = text::Utf8ToCp932(c.utf8);
        ASSERT_TRUE(bytes.has_value()) << "input " << c.utf8;
        EXPECT_EQ(Hex(*bytes), Hex(c.cp932)) << "input " << c.utf8;
        EXPECT_TRUE(text::IsValidCp932(c.cp932));
        EXPECT_EQ(text::Cp932ToUtf8(c.cp932), c.back) << "bytes " << Hex(c.cp932);
    }
}

// From the wave dash on, glibc's bytes for them read back as ～ － ∥ ― ￠ ￡ ￢: another file.
TEST(Cp932, RefusesCharactersWithoutAForm) {
    const struct {
        const char* name;
        const char* utf8;
    } kRefused[] = {
        {"emoji", "URL😀"},           {"sharp s", "Straße"},      {"euro sign", "€"},
        {"e acute", "café"},         {"invalid UTF-8", "a\xFF"}, {"wave dash U+301C", "テスト〜2"},
        {"minus sign U+2212", "−"},  {"double bar U+2016", "‖"}, {"em dash U+2014", "—"},
        {"cent, pound, not", "¢£¬"},
    };
    for (const auto& r : kRefused) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(text::Utf8ToCp932(r.utf8).has_value()) << "input " << r.utf8;
        try {
            text::Utf8ToCp932OrThrow(r.utf8);
            ADD_FAILURE() << "no exception for " << r.utf8;
        } catch (const CTextException& e) {
            EXPECT_EQ(e.GetErrorMessage(), Str(Sid::TextNotCp932));
        }
    }
}

// A typed URL keeps a character whose CP932 bytes name another as its UTF-8 escape, so the
// server is asked for what was typed; one with no CP932 bytes at all still stops (nullptr).
TEST(Cp932, UrlTextEscapesLookalikes) {
    const struct {
        const char* utf8;
        const char* cp932;
    } kRows[] = {
        {"/テスト〜2−3", "/\x83\x65\x83\x58\x83\x67%E3%80%9C2%E2%88%923"},
        {"‖—¢£¬", "%E2%80%96%E2%80%94%C2%A2%C2%A3%C2%AC"},
        {"～－\r\n", "\x81\x60\x81\x7C\r\n"},
        {"/〜😀", nullptr},
    };
    for (const auto& r : kRows) {
        const auto got = text::Utf8UrlToCp932(r.utf8);
        EXPECT_EQ(got ? Hex(*got) : "<none>", r.cp932 ? Hex(r.cp932) : "<none>")
            << "input " << r.utf8;
    }
}

// Showing bytes must never fail: what is not CP932 becomes U+FFFD, the rest survives.
TEST(Cp932, ShowsInvalidBytesAsReplacement) {
    const struct {
        const char* name;
        std::string cp932;
        const char* shown;
    } kRows[] = {
        {"lead byte at the end", "a\x82", "a\xEF\xBF\xBD"},
        {"lead byte before ASCII control",
         std::string("\x82\x0A"
                     "b",
                     3),
         "\xEF\xBF\xBD\nb"},
        {"valid text around a bad pair", "\x82\xA0\x85\x40\x82\xA2", "あ\xEF\xBF\xBDい"},
    };
    for (const auto& r : kRows) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(text::IsValidCp932(r.cp932));
        EXPECT_EQ(text::Cp932ToUtf8(r.cp932), r.shown) << "bytes " << Hex(r.cp932);
    }
}

}  // namespace
