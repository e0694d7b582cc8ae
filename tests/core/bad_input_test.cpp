// Lists nobody meant to write: far too many lines, enormous lines, NUL bytes, binary garbage and
// bytes that are not CP932. Loading never crashes and never changes a byte it keeps; what the
// window can show and what it can save back is decided at the toolkit boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "lists_support.h"
#include "platform/File.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Text.h"

namespace {

using lists_test::ListsTest;
using lists_test::ReadAll;
using lists_test::WriteAll;

class BadInput : public ListsTest {
  protected:
    // The list file `bytes`, loaded through "open", saved through "save" into another file.
    std::string LoadThenSave(const std::string& bytes) {
        WriteAll(InHome("in.txt"), bytes);
        host.onFileDialog = [&](bool open, const std::string&, std::string& chosen) {
            chosen = InHome(open ? "in.txt" : "out.txt");
            return true;
        };
        dlg->RunGuarded([&] { dlg->OnCommand(IDC_OPEN_LIST, false); }, false);
        dlg->RunGuarded([&] { dlg->OnCommand(IDC_SAVE_LIST, false); }, false);
        return ReadAll(InHome("out.txt"));
    }
};

// Bytes with every value but CR and LF, NULs and lone lead bytes included.
std::string Garbage(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        char c = static_cast<char>(seed >> 16);
        s[i] = (c == '\r' || c == '\n') ? '\0' : c;
    }
    return s;
}

TEST_F(BadInput, ListsOfAnyBytesSurviveLoadThenSaveUnchanged) {
    struct Case {
        const char* what;
        std::string lines;  // CR LF after every line, as a load writes them back
    };
    const Case cases[] = {
        {"NUL bytes", std::string("http://a/\0b.zip\r\n\0\0\0\r\n", 22)},
        {"binary garbage", Garbage(4000, 1) + "\r\n" + Garbage(3000, 2) + "\r\n"},
        {"lone lead byte before CR LF", "http://a/\x81\r\n\xFC\r\n"},
        {"bytes no CP932 text has", "\xA0\xFD\xFE\xFF\x80\r\n\x81\x7F\x82\xFF\r\n"},
        {"a line of 1 MB", std::string(1 << 20, 'u') + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string saved = LoadThenSave(c.lines);
        EXPECT_TRUE(host.boxes.empty()) << text::Cp932ToUtf8(host.boxes.at(0).text);
        EXPECT_EQ(host.texts[IDC_LIST].size(), c.lines.size());
        EXPECT_TRUE(host.texts[IDC_LIST] == c.lines) << "the list box must hold the file's bytes";
        EXPECT_TRUE(saved == c.lines)
            << "saved " << saved.size() << " bytes, want " << c.lines.size();
    }
}

// What the Qt host does with those bytes: a byte that is not CP932 is shown as U+FFFD, which
// has no CP932 form, so reading the box back fails with the "not CP932" message instead of
// saving a substitute. Here the fake host plays that boundary.
TEST_F(BadInput, ListBoxTextThatIsNotCp932StopsTheSaveWithAClearBox) {
    const std::string bad = "http://a/\xA0\xFF.zip";
    ASSERT_FALSE(text::IsValidCp932(bad));
    std::string shown = text::Cp932ToUtf8(bad);
    EXPECT_NE(shown.find("\xEF\xBF\xBD"), std::string::npos) << "not shown as U+FFFD";
    EXPECT_FALSE(text::Utf8ToCp932(shown).has_value()) << "U+FFFD must have no CP932 form";

    WriteAll(InHome("old.txt"), "kept\r\n");
    host.nonCp932Controls.insert(IDC_LIST);
    host.onFileDialog = [&](bool, const std::string&, std::string& chosen) {
        chosen = InHome("old.txt");
        return true;
    };
    dlg->RunGuarded([&] { dlg->OnCommand(IDC_SAVE_LIST, false); }, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TextNotCp932));
    EXPECT_EQ(ReadAll(InHome("old.txt")), "kept\r\n") << "the file must stay as it was";
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "FileDialog(save)"), 0);
}

TEST_F(BadInput, BatchLoadsTheFirstHundredOfTenThousandLinesAndHugeOnes) {
    std::string list;
    for (int i = 1; i <= 10000; ++i) list += "http://h/" + std::to_string(i) + "\r\n";
    const std::string huge(1 << 20, 'x');
    struct Case {
        const char* what;
        std::string list;
        std::string first, last;  // entries 1 and 100
        int count;
    };
    const Case cases[] = {
        {"10 000 lines", list, "http://h/1", "http://h/100", 100},
        {"1 MB lines", huge + "\r\n" + huge + "\n", huge, "", 2},
        {"NUL and garbage", Garbage(5000, 3) + "\r\n", Garbage(5000, 3), "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.texts[IDC_LIST] = c.list;
        dlg->RunGuarded([&] { dlg->OnCommand(IDC_GET, false); }, false);
        EXPECT_TRUE(host.boxes.empty());
        EXPECT_EQ(dlg->batch().Cursor(), 1);
        EXPECT_EQ(dlg->batch().Ready(), 1);
        EXPECT_TRUE(dlg->batch().Job(1) == c.first) << dlg->batch().Job(1).size() << " bytes";
        EXPECT_TRUE(dlg->batch().Job(100) == c.last);
        int count = 0;
        while (count < 101 && !dlg->batch().Job(static_cast<size_t>(count) + 1).empty()) ++count;
        EXPECT_EQ(count, c.count);
        EXPECT_TRUE(dlg->batch().Job(101).empty());
    }
}

}  // namespace
