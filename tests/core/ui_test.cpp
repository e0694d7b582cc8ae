// The application shell on the fake host: start values, the command table, the general
// message-error handler's texts and icons, and the closing data exchange.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake/FakeHost.h"
#include "fake/NoInternet.h"
#include "fake/TestFolders.h"
#include "fake/TestText.h"
#include "platform/Exceptions.h"
#include "platform/Internet.h"
#include "platform/TextInput.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Text.h"
#include "window/PomvexDlg.h"

namespace {

class ShellTest : public ::testing::Test {
  protected:
    // The program folder does not exist yet: the start-up makes it.
    void SetUp() override {
        setenv("POMVEX_HOME", m_folder.c_str(), 1);
        host.Attach(&dlg);
    }
    void TearDown() override { unsetenv("POMVEX_HOME"); }

    TempDir m_base;
    const std::string m_folder = m_base / "Pomvex";
    FakeHost host;
    NoInternet internet;
    CPomvexDlg dlg{host, internet};
};

TEST_F(ShellTest, InitDialogSetsStartValuesAndDefaults) {
    ASSERT_TRUE(dlg.OnInitDialog());

    struct stat st {};
    EXPECT_EQ(stat(m_folder.c_str(), &st), 0) << "program folder not created";
    EXPECT_EQ(dlg.batch().Cursor(), 0);
    EXPECT_EQ(dlg.batch().Idle(), 1);
    EXPECT_EQ(dlg.batch().Armed(), 0);
    EXPECT_EQ(dlg.batch().GetRate().BytesSinceSample(), 0);
    EXPECT_TRUE(dlg.batch().Log().empty());
    EXPECT_TRUE(dlg.batch().GetSchedule().m_strMonth.empty());

    EXPECT_EQ(host.texts[IDC_SAVE_DIR], m_folder + "/");
    EXPECT_EQ(host.texts[IDC_LOG], Sj("LOGを表示します\r\n"));
    const std::string& list = host.texts[IDC_LIST];
    EXPECT_EQ(list.rfind(Sj("ここにダウンロードするURLリストを編集してください\r\n例\r\n"), 0), 0u)
        << list;
    EXPECT_EQ(list.substr(list.size() - 2), "\r\n");
    EXPECT_EQ(host.focus, IDC_LIST);
    EXPECT_TRUE(host.boxes.empty());

    EXPECT_EQ(host.TimerPeriod(TIMER_TICK), 1000u);
    EXPECT_EQ(host.TimerPeriod(TIMER_SCHEDULE), 50000u);
    for (unsigned id : {TIMER_WATCHDOG, TIMER_DEADLINE, TIMER_RATE})
        EXPECT_FALSE(host.TimerRunning(id));

    const struct {
        int id;
        std::vector<std::string> items;
        std::string start;
    } kCombos[] = {
        {IDC_MONTH, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}, "11"},
        {IDC_DAY, {}, "28"},
        {IDC_HOUR, {}, "0"},
        {IDC_MINUTE, {"0", "10", "20", "30", "40", "50"}, "0"},
        {IDC_DURATION, {"1", "2", "3", "4"}, "2"},
    };
    for (const auto& c : kCombos) {
        SCOPED_TRACE("combo " + std::to_string(c.id));
        EXPECT_EQ(host.texts[c.id], c.start);
        if (!c.items.empty()) {
            EXPECT_EQ(host.comboItems[c.id], c.items);
        }
    }
    // Days 1..31 and hours 0..23, in numeric order.
    ASSERT_EQ(host.comboItems[IDC_DAY].size(), 31u);
    ASSERT_EQ(host.comboItems[IDC_HOUR].size(), 24u);
    for (int h = 0; h < 24; ++h) EXPECT_EQ(host.comboItems[IDC_HOUR][h], std::to_string(h));
    EXPECT_EQ(host.comboItems[IDC_DAY][30], "31");
}

TEST_F(ShellTest, SecondStartWithTheFolderThereIsQuiet) {
    ASSERT_EQ(mkdir(m_folder.c_str(), 0755), 0);
    ASSERT_TRUE(dlg.OnInitDialog());
    EXPECT_TRUE(host.boxes.empty());
}

// Every button and menu item reaches its handler: each row checks that handler's own effect.
TEST_F(ShellTest, CommandTableRoutesEverySource) {
    struct Route {
        const char* name;
        int id;
        bool fromMenu;
        std::function<bool(CPomvexDlg&, FakeHost&)> reached;
    };
    auto loadedFor = [](int mode) {
        return [mode](CPomvexDlg& d, FakeHost&) {
            return d.batch().Cursor() == 1 && d.batch().Downloading() == mode;
        };
    };
    auto armed = [](CPomvexDlg& d, FakeHost&) {
        return d.batch().Armed() == 1 && d.batch().GetSchedule().m_strMonth == "11";
    };
    auto fileDialog = [](const char* call) {
        return
            [call](CPomvexDlg&, FakeHost& h) { return !h.calls.empty() && h.calls.back() == call; };
    };
    auto modal = [](int templateId) {
        return [templateId](CPomvexDlg&, FakeHost& h) {
            return h.modalTemplates == std::vector<int>{templateId};
        };
    };
    const Route kRoutes[] = {
        {"Get button", IDC_GET, false, loadedFor(1)},
        {"スタート menu", ID_DOWNLOAD_START, true, loadedFor(1)},
        {"リストチェック button", IDC_CHECK_LIST, false, loadedFor(0)},
        {"リストをチェック menu", ID_TOOL_CHECK_LIST, true, loadedFor(0)},
        {"あとでGet button", IDC_GET_LATER, false, armed},
        {"タイマー menu", ID_DOWNLOAD_TIMER, true, armed},
        {"NEXT button", IDC_NEXT, false,
         [](CPomvexDlg& d, FakeHost&) { return d.batch().Ready() == 1; }},
        {"中止 button", IDC_ABORT, false,
         [](CPomvexDlg& d, FakeHost& h) {
             return d.batch().Log() == Str(Sid::LogAborted) && h.texts[IDC_LOG] == d.batch().Log();
         }},
        {"リストを開く button", IDC_OPEN_LIST, false, fileDialog("FileDialog(open)")},
        {"リストを開く menu", ID_LIST_OPEN, true, fileDialog("FileDialog(open)")},
        {"リストを保存 button", IDC_SAVE_LIST, false, fileDialog("FileDialog(save)")},
        {"リストの保存 menu", ID_LIST_SAVE, true, fileDialog("FileDialog(save)")},
        {"連番編集 menu", ID_TOOL_SERIAL, true, modal(IDD_SERIAL)},
        {"Pomvexについて menu", ID_HELP_ABOUT, true, modal(IDD_ABOUTBOX)},
    };
    for (const Route& r : kRoutes) {
        SCOPED_TRACE(r.name);
        FakeHost h;
        CPomvexDlg d(h, internet);
        h.Attach(&d);
        d.OnInitDialog();
        h.calls.clear();
        d.OnCommand(r.id, r.fromMenu);
        EXPECT_TRUE(r.reached(d, h)) << "command " << r.id << " did not reach its handler";
        EXPECT_TRUE(h.boxes.empty())
            << "unexpected box: " << (h.boxes.empty() ? "" : h.boxes[0].text);
    }
}

TEST_F(ShellTest, ExitEndsTheProcessAtOnceWithStatusZero) {
    dlg.OnInitDialog();
    EXPECT_EXIT(dlg.OnCommand(ID_FILE_EXIT, true), ::testing::ExitedWithCode(0), "");
}

TEST_F(ShellTest, ErrorWrapperWordsEveryFileCause) {
    const std::string path = Sj("/data/リスト.txt");
    const char* kWant[15] = {
        "ｴﾗｰはありませんでした。",
        "/data/リスト.txt へのｱｸｾｽ中に不明なｴﾗｰが発生しました。",
        "/data/リスト.txt が見つかりませんでした。",
        "/data/リスト.txt には無効なﾊﾟｽが含まれています。",
        "開いているﾌｧｲﾙが多すぎるため、/data/リスト.txt を開けませんでした。",
        "/data/リスト.txt へのｱｸｾｽは拒否されました。",
        "/data/リスト.txt へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。",
        "現在のﾃﾞｨﾚｸﾄﾘ /data/リスト.txt は削除できませんでした。",
        "/data/リスト.txt を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。",
        "/data/リスト.txt のｼｰｸに失敗しました。",
        "/data/リスト.txt へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。",
        "/data/リスト.txt へのｱｸｾｽ中に共有違反が発生しました。",
        "/data/リスト.txt へのｱｸｾｽ中にﾛｯｸ違反が発生しました。",
        "/data/リスト.txt へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。",
        "/data/リスト.txt の末尾以降にｱｸｾｽしようとしました。",
    };
    for (int cause = 0; cause <= 14; ++cause) {
        SCOPED_TRACE("cause " + std::to_string(cause));
        host.boxes.clear();
        dlg.RunGuarded([&] { throw CFileException(cause, path); }, false);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(text::Cp932ToUtf8(host.boxes[0].text), kWant[cause]);
        EXPECT_EQ(host.boxes[0].type, unsigned(MB_ICONSTOP));
    }
    host.boxes.clear();
    dlg.RunGuarded([] { throw CFileException(CFileException::fileNotFound, ""); }, true);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(text::Cp932ToUtf8(host.boxes[0].text), "無題のﾌｧｲﾙ が見つかりませんでした。");
}

TEST_F(ShellTest, ErrorWrapperFallbacksAndIcons) {
    const struct {
        const char* name;
        std::function<void()> fail;
        bool fromMenu;
        const char* want;
        unsigned type;
    } kRows[] = {
        {"no description, menu", [] { throw std::runtime_error("x"); }, true,
         "ｺﾏﾝﾄﾞの実行に失敗しました。", MB_ICONSTOP},
        {"no description, button or timer", [] { throw std::runtime_error("x"); }, false,
         "ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。", MB_ICONSTOP},
        {"empty internet text, menu", [] { throw CInternetException(12029, ""); }, true,
         "ｺﾏﾝﾄﾞの実行に失敗しました。", MB_ICONSTOP},
        {"internet text of its own",
         [] { throw CInternetException(12007, Sj("名前を解決できません")); }, true,
         "名前を解決できません", MB_ICONSTOP},
        {"text not CP932", [] { text::Utf8ToCp932OrThrow("😀"); }, false, nullptr, MB_ICONSTOP},
        {"out of memory", [] { throw std::bad_alloc(); }, false, "ﾒﾓﾘが不足しています。",
         MB_ICONEXCLAMATION | MB_SYSTEMMODAL},
    };
    for (const auto& r : kRows) {
        SCOPED_TRACE(r.name);
        host.boxes.clear();
        dlg.RunGuarded(r.fail, r.fromMenu);
        ASSERT_EQ(host.boxes.size(), 1u);
        const std::string want = r.want ? Sj(r.want) : Str(Sid::TextNotCp932);
        EXPECT_EQ(host.boxes[0].text, want) << "got " << text::Cp932ToUtf8(host.boxes[0].text);
        EXPECT_EQ(host.boxes[0].type, r.type);
    }
}

// A failure ends the handler at the failing step and undoes nothing before it.
TEST_F(ShellTest, ErrorWrapperKeepsWhatRanBeforeTheFailure) {
    bool after = false;
    dlg.RunGuarded(
        [&] {
            host.SetDlgItemText(IDC_URL, "before");
            throw CFileException(CFileException::diskFull, "/x");
            after = true;
        },
        false);
    EXPECT_EQ(host.texts[IDC_URL], "before");
    EXPECT_FALSE(after);
    ASSERT_EQ(host.boxes.size(), 1u);
}

TEST_F(ShellTest, ClosingExchangeChecksTwoBytesPerCombo) {
    const struct {
        const char* name;
        int id;
        const char* typed;  // UTF-8, into combo `id`; the others keep their start texts
        bool closes;
    } kRows[] = {
        {"start texts", IDC_MONTH, "11", true},
        {"three digits in month", IDC_MONTH, "123", false},
        {"one double-byte char", IDC_DAY, "十", true},
        {"double-byte char and one more", IDC_HOUR, "十1", false},
        {"two half-width kana", IDC_MINUTE, "ｱｲ", true},
        {"three bytes in duration", IDC_DURATION, "1 2", false},
        {"empty", IDC_DURATION, "", true},
    };
    for (const auto& r : kRows) {
        SCOPED_TRACE(r.name);
        FakeHost h;
        CPomvexDlg d(h, internet);
        h.Attach(&d);
        d.OnInitDialog();
        h.focus = 0;
        h.texts[r.id] = Sj(r.typed);
        EXPECT_EQ(d.OnOKCommand(), r.closes);
        const Schedule& exchanged = d.batch().GetSchedule();
        const std::string* fields[] = {&exchanged.m_strMonth, &exchanged.m_strDay,
                                       &exchanged.m_strHour, &exchanged.m_strMinute,
                                       &exchanged.m_strDuration};
        const int step = r.id - IDC_MONTH;
        const std::string* field = fields[step];
        EXPECT_EQ(*field, Sj(r.typed));
        if (r.closes) {
            EXPECT_TRUE(h.boxes.empty());
            continue;
        }
        ASSERT_EQ(h.boxes.size(), 1u);
        EXPECT_EQ(h.boxes[0].text, Sj("2 文字以内で入力してください。"));
        EXPECT_EQ(h.boxes[0].type, unsigned(MB_ICONEXCLAMATION));
        EXPECT_EQ(h.focus, r.id);
        // The steps after the failing one did not run.
        for (int later = step + 1; later < 5; ++later) EXPECT_TRUE(fields[later]->empty());
    }
}

TEST_F(ShellTest, ClosingExchangeStopsOnTextWithoutCp932Form) {
    dlg.OnInitDialog();
    host.nonCp932Controls.insert(IDC_DAY);
    EXPECT_FALSE(dlg.OnOKCommand());
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TextNotCp932));
    EXPECT_EQ(dlg.batch().GetSchedule().m_strMonth, "11");
    EXPECT_TRUE(dlg.batch().GetSchedule().m_strDay.empty());
}

}  // namespace
