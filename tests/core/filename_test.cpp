#include <gtest/gtest.h>

#include <string>

#include "platform/UrlFileName.h"

namespace {

std::string Hex(const std::string& s) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += d[c >> 4];
            out += d[c & 15];
        }
    }
    return out;
}

struct Case {
    const char* what;
    std::string path;
    std::string want;
};

TEST(FileNameOfUrlPath, Table) {
    // "表" is 95 5C in CP932: its trail byte is a backslash. "ソ" is 83 5C.
    const std::string hyo = "\x95\x5C";
    const std::string so = "\x83\x5C";
    const std::string a254(254, 'a');
    const Case cases[] = {
        {"plain", "/dir/file.lzh", "file.lzh"},
        {"trailing slash", "/dir/", ""},
        {"empty", "", ""},
        {"no separator", "file.zip", "file.zip"},
        {"backslash", "/a\\b.txt", "b.txt"},
        {"colon", "/c:x.bin", "x.bin"},
        {"query stays", "/get.cgi?id=3", "get.cgi?id=3"},
        {"query with slash", "/get?to=a/b.zip", "b.zip"},
        {"trail byte 5C is not a separator", "/" + hyo + ".txt", hyo + ".txt"},
        {"two double-byte names", "/d/" + so + hyo, so + hyo},
        {"half-width katakana are single bytes", "/\xB1\xB2.zip", "\xB1\xB2.zip"},
        {"only the first 259 bytes count", "/" + std::string(257, 'x') + "/tail", ""},
        {"name cut to 255 bytes", "/" + std::string(300, 'n'), std::string(255, 'n')},
        {"cut never splits a character", "/" + a254 + hyo, a254},
        {"255 with a double-byte end fits", "/" + std::string(253, 'a') + hyo,
         std::string(253, 'a') + hyo},
        {"a lead byte cut off at byte 259 is dropped", std::string(258, '/') + hyo, ""},
        {"a lead byte cut off after a name", std::string(250, '/') + "abcdefgh" + hyo, "abcdefgh"},
    };
    for (const Case& c : cases) {
        std::string got = FileNameOfUrlPath(c.path);
        EXPECT_EQ(got, c.want) << c.what << "\n  input: " << Hex(c.path)
                               << "\n  got:   " << Hex(got) << "\n  want:  " << Hex(c.want);
    }
}

}  // namespace
