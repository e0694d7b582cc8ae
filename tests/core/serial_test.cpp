// The numbered-list dialog's data exchange and OnSerial, with the fake host playing the user.
#include <climits>
#include <map>
#include <string>
#include <vector>

#include "lists/SerialDlg.h"
#include "lists_support.h"
#include "resources/Resource.h"
#include "resources/Strings.h"

namespace {

using lists_test::ListsTest;

TEST(ReadDialogInteger, AcceptsAndRefusesLikeTheDataExchange) {
    struct Row {
        const char* text;
        bool ok;
        int32_t value;
    } rows[] = {
        {"7", true, 7},
        {" 7 ", true, 7},
        {"\t7\t", true, 7},
        {"07", true, 7},
        {"0", true, 0},
        {"00", true, 0},
        {"  0  ", true, 0},
        {"+5", true, 5},
        {"-1", true, -1},
        {"100", true, 100},
        {"", false, 0},
        {"   ", false, 0},
        {"abc", false, 0},
        {"-0", false, 0},
        {"+0", false, 0},
        {"-", false, 0},
        {"7a", false, 0},
        {"7 8", false, 0},
        {"0x10", false, 0},
        {"- 5", false, 0},
        {"\n5", false, 0},  // only spaces and tabs are blanks
        {"5\r", false, 0},
        {"\x82\x4F", false, 0},  // full-width digit zero is not a digit
        {"2147483647", true, INT32_MAX},
        {"99999999999", true, INT32_MAX},  // saturates: cannot wrap back into 0..99
        {"4294967301", true, INT32_MAX},   // 2^32 + 5
        {"-99999999999", true, INT32_MIN},
        // Only the first 31 bytes count: what follows is never looked at.
        {"7                              x", true, 7},
        {"                              7", true, 7},    // 7 is the 31st byte
        {"                               7", false, 0},  // 7 is the 32nd byte
    };
    for (const Row& row : rows) {
        int32_t got = 12345;
        bool ok = ReadDialogInteger(row.text, &got);
        EXPECT_EQ(ok, row.ok) << "input \"" << row.text << "\"";
        if (row.ok)
            EXPECT_EQ(got, row.value) << "input \"" << row.text << "\"";
        else
            EXPECT_EQ(got, 12345) << "input \"" << row.text << "\" changed the value on refusal";
    }
}

// What the user typed into the dialog, and what came of it.
struct Typed {
    std::string from, to, prefix, suffix;
};

struct Session {
    std::vector<FakeBox> boxes;
    int focus = 0, selectedAll = 0;
    std::map<int, std::string> shown;  // control texts when the dialog opened
    bool ended = false;                // OK was accepted
};

class SerialTest : public ListsTest {
  protected:
    void SetUp() override {
        ListsTest::SetUp();
        host.texts[IDC_LIST] = "http://typed/by/hand\r\n";
    }
    // Opens the dialog, types `t` and presses OK; a refused OK is followed by Cancel.
    Session Run(const Typed& t) {
        Session s;
        host.onModal = [&](FakeDialogView& view) {
            s.shown = view.texts;
            view.texts[IDC_SERIAL_FROM] = t.from;
            view.texts[IDC_SERIAL_TO] = t.to;
            view.texts[IDC_SERIAL_PREFIX] = t.prefix;
            view.texts[IDC_SERIAL_SUFFIX] = t.suffix;
            s.ended = view.PressOK();
            s.boxes = view.boxes;
            s.focus = view.focus;
            s.selectedAll = view.selectedAll;
            return s.ended ? IDOK : (view.PressCancel(), IDCANCEL);
        };
        dlg->OnCommand(ID_TOOL_SERIAL, true);
        return s;
    }
    static std::string Lines(const std::string& prefix, int first, int last,
                             const std::string& suffix) {
        std::string out;
        for (int n = first; n <= last; ++n)
            out += prefix + (n < 10 ? "0" : "") + std::to_string(n) + suffix + "\r\n";
        return out;
    }
};

TEST_F(SerialTest, OpensWithTheDefaultsEveryTime) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Session s = Run({"3", "4", "p", "s"});
        EXPECT_EQ(s.shown[IDC_SERIAL_FROM], "0");
        EXPECT_EQ(s.shown[IDC_SERIAL_TO], "99");
        EXPECT_EQ(s.shown[IDC_SERIAL_PREFIX], "");
        EXPECT_EQ(s.shown[IDC_SERIAL_SUFFIX], "");
    }
    EXPECT_EQ(host.modalTemplates, (std::vector<int>{IDD_SERIAL, IDD_SERIAL}));
}

TEST_F(SerialTest, OkReplacesTheListWithNumberedLines) {
    const std::string jp = "\x83\x65\x83\x58\x83\x67 ";  // "テスト " in CP932
    struct Row {
        const char* name;
        Typed typed;
        std::string list;
    } rows[] = {
        {"defaults", {"0", "99", "", ""}, Lines("", 0, 99, "")},
        {"equal_bounds", {"5", "5", "", ""}, "05\r\n"},
        {"from_above_to", {"12", "8", "", ""}, "08\r\n09\r\n10\r\n11\r\n12\r\n"},
        {"prefix_and_suffix",
         {"8", "11", "a", ".jpg"},
         "a08.jpg\r\na09.jpg\r\na10.jpg\r\na11.jpg\r\n"},
        {"japanese_and_blanks_unchanged",
         {"1", "2", " http://h/" + jp, " \x81\x60.png "},
         " http://h/" + jp + "01 \x81\x60.png \r\n" + " http://h/" + jp + "02 \x81\x60.png \r\n"},
        {"blanks_around_numbers", {" 7 ", "07", "", ""}, "07\r\n"},
        {"top_of_range", {"99", "98", "", ""}, "98\r\n99\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        host.texts[IDC_LIST] = "http://typed/by/hand\r\n";
        host.calls.clear();
        Session s = Run(row.typed);
        EXPECT_TRUE(s.ended);
        EXPECT_TRUE(s.boxes.empty());
        EXPECT_EQ(host.texts[IDC_LIST], row.list);
        EXPECT_EQ(dlg->lists().List(), row.list);
        EXPECT_EQ(host.calls, std::vector<std::string>{"Invalidate(1)"});
    }
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(SerialTest, RefusedFieldKeepsTheDialogOpenWithOneBox) {
    const std::string range = FormatStr(Sid::SerialRange, {"0", "99"});
    struct Row {
        const char* name;
        Typed typed;
        std::string box;
        int field;
    } rows[] = {
        {"from_100", {"100", "5", "", ""}, range, IDC_SERIAL_FROM},
        {"from_minus_1", {"-1", "5", "", ""}, range, IDC_SERIAL_FROM},
        {"from_letters", {"abc", "5", "", ""}, Str(Sid::SerialEnterInteger), IDC_SERIAL_FROM},
        {"from_empty", {"", "5", "", ""}, Str(Sid::SerialEnterInteger), IDC_SERIAL_FROM},
        {"from_minus_0", {"-0", "5", "", ""}, Str(Sid::SerialEnterInteger), IDC_SERIAL_FROM},
        {"to_100", {"5", "100", "", ""}, range, IDC_SERIAL_TO},
        {"to_letters", {"5", "x1", "", ""}, Str(Sid::SerialEnterInteger), IDC_SERIAL_TO},
        {"to_huge", {"5", "4294967301", "", ""}, range, IDC_SERIAL_TO},
        {"both_wrong_first_wins",
         {"abc", "100", "", ""},
         Str(Sid::SerialEnterInteger),
         IDC_SERIAL_FROM},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        host.calls.clear();
        Session s = Run(row.typed);
        EXPECT_FALSE(s.ended);
        ASSERT_EQ(s.boxes.size(), 1u);
        EXPECT_EQ(s.boxes[0].text, row.box);
        EXPECT_EQ(s.boxes[0].type, unsigned{MB_ICONEXCLAMATION});
        EXPECT_EQ(s.focus, row.field);
        EXPECT_EQ(s.selectedAll, row.field);
        EXPECT_EQ(host.texts[IDC_LIST], "http://typed/by/hand\r\n");
        EXPECT_EQ(dlg->lists().List(), "");
        EXPECT_TRUE(host.calls.empty());
    }
}

TEST_F(SerialTest, CancelAfterEditingChangesNothing) {
    host.onModal = [](FakeDialogView& view) {
        view.texts[IDC_SERIAL_FROM] = "3";
        view.texts[IDC_SERIAL_PREFIX] = "zzz";
        EXPECT_TRUE(view.PressCancel());
        return IDCANCEL;
    };
    dlg->OnCommand(ID_TOOL_SERIAL, true);
    EXPECT_EQ(host.texts[IDC_LIST], "http://typed/by/hand\r\n");
    EXPECT_EQ(dlg->lists().List(), "");
    EXPECT_TRUE(host.textHistory.empty());
    EXPECT_TRUE(host.calls.empty());
}

// A view whose prefix edit holds a character with no CP932 form.
class NonCp932View : public FakeDialogView {
  public:
    using FakeDialogView::FakeDialogView;
    std::string GetItemText(int id) const override {
        if (id == IDC_SERIAL_PREFIX) throw CTextException(Str(Sid::TextNotCp932));
        return FakeDialogView::GetItemText(id);
    }
};

TEST_F(SerialTest, PrefixOutsideCp932IsRefusedWithTheDialogOpen) {
    CSerialDlg serial;
    NonCp932View view(IDD_SERIAL, serial);
    serial.OnInitDialog(view);
    EXPECT_FALSE(view.PressOK());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, Str(Sid::TextNotCp932));
    EXPECT_EQ(view.focus, IDC_SERIAL_PREFIX);
}

}  // namespace
