// The command line: what it asks for, and the list its URLs and list files make.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "fake/TestFolders.h"
#include "fake/TestText.h"
#include "resources/Strings.h"

namespace {

TEST(CommandLine, EachRowAsksForWhatItSays) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> items;
        bool get, check;
        int64_t rate;  // -1: not given
        bool refused;
    } rows[] = {
        {"nothing", {}, {}, false, false, -1, false},
        {"urls in order",
         {"http://a/1", "ftp://b/2"},
         {"http://a/1", "ftp://b/2"},
         false,
         false,
         -1,
         false},
        {"get", {"--get", "http://a/1"}, {"http://a/1"}, true, false, -1, false},
        {"check", {"http://a/1", "--check"}, {"http://a/1"}, false, true, -1, false},
        {"rate in k", {"--limit-rate", "500k"}, {}, false, false, 512000, false},
        {"rate after =", {"--limit-rate=2m"}, {}, false, false, 2 << 20, false},
        {"rate of bytes", {"--limit-rate=1000"}, {}, false, false, 1000, false},
        {"bad rate", {"--limit-rate", "5x"}, {}, false, false, -1, true},
        {"rate without value", {"--limit-rate"}, {}, false, false, -1, true},
        {"unknown option", {"--bogus", "http://a/1"}, {"http://a/1"}, false, false, -1, true},
        {"Qt's own option", {"-platform", "xcb"}, {"xcb"}, false, false, -1, false},
        {"after --", {"--", "--get"}, {"--get"}, false, false, -1, false},
    };
    for (const auto& r : rows) {
        const CommandLine cl = ParseCommandLine(r.args, false);
        EXPECT_EQ(cl.items, r.items) << r.name;
        EXPECT_EQ(cl.get, r.get) << r.name;
        EXPECT_EQ(cl.check, r.check) << r.name;
        EXPECT_EQ(cl.limitBytesPerSec.value_or(-1), r.rate) << r.name;
        EXPECT_EQ(!cl.refusal.empty(), r.refused) << r.name << ": " << Readable(cl.refusal);
    }
}

TEST(CommandLine, ItemsMakeTheListAsTheListBoxTakesIt) {
    TempDir dir;
    WriteFileBytes(dir / "一覧-utf8.txt", "http://h/日本.bin\nhttp://h/b\n");
    WriteFileBytes(dir / "cp932.txt", "http://h/\x93\xfa.bin\r\n");
    const struct {
        const char* name;
        std::vector<std::string> items;
        const char* want;     // the list (UTF-8 here, CP932 in the list box); nullptr: refused
        const char* message;  // a part of the refusal's message
    } rows[] = {
        {"urls", {"http://h/a", "ftp://h/b"}, "http://h/a\r\nftp://h/b\r\n", nullptr},
        {"UTF-8 and CP932 lists between URLs",
         {"http://h/0", dir / "一覧-utf8.txt", dir / "cp932.txt"},
         "http://h/0\r\nhttp://h/日本.bin\r\nhttp://h/b\r\nhttp://h/日.bin\r\n",
         nullptr},
        {"a URL CP932 cannot hold", {"http://h/\xF0\x9F\x98\x80"}, nullptr, "CP932"},
        {"a missing file", {"http://h/a", dir / "ない.txt"}, nullptr, "ない.txt"},
    };
    for (const auto& r : rows) {
        std::string error;
        const std::optional<std::string> list = ListFromItems(r.items, &error);
        if (r.want) {
            EXPECT_EQ(Readable(list.value_or("<refused: " + error + ">")), Readable(Sj(r.want)))
                << r.name;
        } else {
            EXPECT_FALSE(list) << r.name;
            EXPECT_NE(error.find(Sj(r.message)), std::string::npos)
                << r.name << ": " << Readable(error);
        }
    }
}

}  // namespace
