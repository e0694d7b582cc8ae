// Japanese names end to end: a home folder, a save folder and a list file with Japanese names,
// through the real file layer, the real sequencer and real transfers from a server on 127.0.0.1
// that records every request line it is asked. tests/CMakeLists.txt also runs this suite under
// several locales: the texts, the log bytes and the names on disk must not depend on one.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/LocalServers.h"
#include "transfer/TransferRig.h"
#include "window/PomvexDlg.h"

namespace {

using testsrv::ReadBytes;
using testsrv::TempDir;

// "保存先 ", "ユーザー", "ダウンロード" and "日本語.bin" in CP932, written out: the log must hold
// these bytes, not whatever the conversion under test makes of them.
const std::string kSaveToCp932 = "\x95\xDB\x91\xB6\x90\xE6 ";
const std::string kUserCp932 = "\x83\x86\x81\x5B\x83\x55\x81\x5B";
const std::string kDownloadsCp932 = "\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68";
const std::string kNameCp932 = "\x93\xFA\x96\x7B\x8C\xEA.bin";

// One recording server per test program, serving its own folder.
struct Recorder {
    TempDir root, records;
    testsrv::ServerProcess http{"recording_server.py", {root.path(), records / "lines"}};

    std::string Origin() const { return "http://127.0.0.1:" + std::to_string(http.port()); }
    // The last request line the server was asked.
    std::string LastLine() const {
        std::string all = ReadBytes(records / "lines");
        if (all.empty() || all.back() != '\n') return "<none>";
        all.pop_back();
        return all.substr(all.rfind('\n') + 1);
    }
    // Puts `bytes` at `path` (UTF-8, below the served folder).
    void Serve(const std::string& path, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(root / path).parent_path());
        testsrv::WriteBytes(root / path, bytes);
    }
};
Recorder& Server() {
    static Recorder r;
    return r;
}

// The clock text of the tick `sec` seconds after the fake host's start (2026-11-28 00:00 UTC).
std::string ClockAt(int sec) {
    return Sj(("11月28日　 00:00:0" + std::to_string(sec)).c_str());
}

class JapanesePaths : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // The suites run in the environment's locale (tests/locale_main.cpp), as the program
        // does. One that is asked for but not installed would leave the run in "C" and prove
        // nothing.
        const char* asked = std::getenv("LC_ALL");
        if (!asked || !*asked) asked = std::getenv("LANG");
        const char* got = std::setlocale(LC_ALL, "");
        ASSERT_NE(got, nullptr) << "locale " << (asked ? asked : "") << " is not installed";
        testsrv::ClearProxyEnvironment();
        setenv("TZ", "UTC", 1);
        tzset();
    }

    void SetUp() override {
        const char* home = std::getenv("HOME");
        if (home) m_savedHome = home;
        for (const std::string& dir : {m_user, m_downloads, m_user + "/ドキュメント"})
            std::filesystem::create_directories(dir);
        setenv("HOME", m_user.c_str(), 1);
        unsetenv("POMVEX_HOME");
        m_host.Attach(&m_dlg);
    }
    void TearDown() override {
        if (m_savedHome)
            setenv("HOME", m_savedHome->c_str(), 1);
        else
            unsetenv("HOME");
        unsetenv("POMVEX_HOME");
    }

    std::string SaveTo(const std::string& pathCp932) const {
        return Sj("保存先 ") + pathCp932 + "\r\n";
    }

    TempDir m_tmp;
    const std::string m_user = m_tmp / "ユーザー";  // the home folder
    const std::string m_program = m_user + "/Pomvex";
    const std::string m_downloads = m_user + "/ダウンロード";
    std::optional<std::string> m_savedHome;
    FakeHost m_host;
    CurlInternetClient m_client;
    CPomvexDlg m_dlg{m_host, m_client};
};

struct Setting {
    const char* what;
    bool programFolderFromPomvexHome;  // else from $HOME
    const char* typedSaveFolder;       // UTF-8; empty: the full path of ~/ダウンロード/
};

void PrintTo(const Setting& s, std::ostream* os) {
    *os << s.what;
}

class EveryCommand : public JapanesePaths, public ::testing::WithParamInterface<Setting> {};

TEST_P(EveryCommand, WorksUnderJapaneseFolderNames) {
    const Setting& s = GetParam();
    if (s.programFolderFromPomvexHome) setenv("POMVEX_HOME", m_program.c_str(), 1);
    m_dlg.OnInitDialog();
    EXPECT_TRUE(std::filesystem::is_directory(m_program)) << "program folder not made";
    EXPECT_EQ(Readable(m_host.texts[IDC_SAVE_DIR]), m_program + "/");
    EXPECT_EQ(m_host.texts[IDC_SAVE_DIR], Sj((m_program + "/").c_str()));

    // A list file in ~/ドキュメント with an HTTP URL and a file: URL that name Japanese files.
    Server().Serve("資料/日本語.bin", testsrv::Pattern(3000, 1));
    const std::string local = m_user + "/ドキュメント/画像.bin";
    testsrv::WriteBytes(local, testsrv::Pattern(2000, 2));
    const std::string http = Sj((Server().Origin() + "/資料/日本語.bin").c_str());
    const std::string file = Sj(("file://" + local).c_str());
    const std::string list = http + "\r\n" + file + "\r\n";
    const std::string listFile = m_user + "/ドキュメント/リスト.txt";
    testsrv::WriteBytes(listFile, list);
    std::string initial;
    m_host.onFileDialog = [&](bool, const std::string& start, std::string& chosen) {
        initial = start;
        chosen = Sj(listFile.c_str());
        return true;
    };
    m_dlg.OnCommand(IDC_OPEN_LIST, false);
    EXPECT_EQ(Readable(initial), m_program + "/Pomvex.txt");
    EXPECT_EQ(Readable(m_host.texts[IDC_LIST]), Readable(list));

    // Both downloads land in the typed folder under their Japanese names; the staging file and
    // the log are written in the program folder.
    const std::string typed =
        Sj(*s.typedSaveFolder ? s.typedSaveFolder : (m_downloads + "/").c_str());
    m_host.texts[IDC_SAVE_DIR] = typed;
    m_dlg.OnCommand(IDC_GET, false);
    EXPECT_EQ(ReadBytes(m_program + "/Pomvex.PVX"), list);
    ASSERT_TRUE(m_host.AdvanceUntil([&] { return !m_dlg.batch().Running(); }, 60000));
    const std::string log = ClockAt(1) + "\r\n" + http + Sj("をDLします\r\n") +
                            SaveTo(typed + Sj("日本語.bin")) + ClockAt(1) +
                            Sj("   DL終了しました\r\n") + ClockAt(2) + "\r\n" + file +
                            Sj("をDLします\r\n") + SaveTo(typed + Sj("画像.bin")) + ClockAt(2) +
                            Sj("   DL終了しました\r\n");
    EXPECT_EQ(Readable(m_dlg.batch().Log()), Readable(log));
    EXPECT_EQ(Readable(ReadBytes(m_program + "/Pomvex.log")), Readable(log));
    const std::string saveTo = kSaveToCp932 +
                               (*s.typedSaveFolder ? "~" : m_tmp.path() + "/" + kUserCp932) + "/" +
                               kDownloadsCp932 + "/" + kNameCp932 + "\r\n";
    EXPECT_NE(ReadBytes(m_program + "/Pomvex.log").find(saveTo), std::string::npos)
        << "no " << Readable(saveTo);
    EXPECT_TRUE(ReadBytes(m_downloads + "/日本語.bin") == testsrv::Pattern(3000, 1));
    EXPECT_TRUE(ReadBytes(m_downloads + "/画像.bin") == testsrv::Pattern(2000, 2));
    for (const FakeBox& b : m_host.boxes) ADD_FAILURE() << "box: " << Readable(b.text);

    // The list saved back over its Japanese name.
    const std::string edited = list + Sj("http://127.0.0.1/追加\r\n");
    m_host.texts[IDC_LIST] = edited;
    m_dlg.OnCommand(IDC_SAVE_LIST, false);
    EXPECT_EQ(Readable(ReadBytes(listFile)), Readable(edited));
}

const Setting kSettings[] = {
    {"PomvexHomeAndTheFolderInFull", true, ""},
    {"HomeAndTheFolderFromTilde", false, "~/ダウンロード/"},
};
INSTANTIATE_TEST_SUITE_P(Settings, EveryCommand, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.what); });

// A typed URL leaves the way browsers send it, and the file keeps the name as typed (as UTF-8 on
// disk). A host goes out in IDNA; it is seen through the recorder posing as the proxy, so that
// nothing leaves 127.0.0.1.
TEST_F(JapanesePaths, TypedUrlsGoOutAsBrowsersSendThem) {
    struct Row {
        const char* what;
        const char* host;    // nullptr: the recorder itself
        const char* typed;   // path and query, UTF-8
        const char* target;  // the request line's target
        const char* served;  // where the recorder finds the file
        const char* saved;   // the name in the save folder, UTF-8
    };
    const Row rows[] = {
        {"kanji", nullptr, "/f/日本語.bin", "/f/%E6%97%A5%E6%9C%AC%E8%AA%9E.bin", "f/日本語.bin",
         "日本語.bin"},
        {"kana, half-width katakana, U+FF5E", nullptr, "/f/かなﾃｽﾄ～.bin",
         "/f/%E3%81%8B%E3%81%AA%EF%BE%83%EF%BD%BD%EF%BE%84%EF%BD%9E.bin", "f/かなﾃｽﾄ～.bin",
         "かなﾃｽﾄ～.bin"},
        {"typed escape stays as typed", nullptr, "/f/%E6%97%A5.bin", "/f/%E6%97%A5.bin", "f/日.bin",
         "%E6%97%A5.bin"},
        {"Japanese query", nullptr, "/f/q.bin?名前=値", "/f/q.bin?%E5%90%8D%E5%89%8D=%E5%80%A4",
         "f/q.bin", "q.bin?名前=値"},
        {"Japanese host", "日本.example", "/f/h.bin", "http://xn--wgv71a.example/f/h.bin",
         "f/h.bin", "h.bin"},
    };
    const std::string folder = Sj((m_downloads + "/").c_str());
    m_host.texts[IDC_SAVE_DIR] = folder;
    TransferRig rig(m_host);
    unsigned seed = 10;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::string bytes = testsrv::Pattern(1500, ++seed);
        Server().Serve(r.served, bytes);
        const std::string url =
            Sj(((r.host ? std::string("http://") + r.host : Server().Origin()) + r.typed).c_str());
        if (r.host) setenv("http_proxy", Server().Origin().c_str(), 1);
        rig.Run(url);
        unsetenv("http_proxy");
        EXPECT_EQ(Server().LastLine(), "GET " + std::string(r.target) + " HTTP/1.1");
        EXPECT_TRUE(ReadBytes(m_downloads + "/" + r.saved) == bytes)
            << "not on disk as " << r.saved;
        EXPECT_NE(rig.sink.log.find(SaveTo(folder + Sj(r.saved))), std::string::npos)
            << Readable(rig.sink.log);
        for (const FakeBox& b : m_host.boxes) ADD_FAILURE() << "box: " << Readable(b.text);
        m_host.boxes.clear();
    }
}

// Lists from Linux editors are UTF-8, with or without a byte-order mark. The UTF-8 bytes of
// 写真/東京 are valid CP932 as well (蜀咏悄/譚ｱ莠ｬ): only reading them as UTF-8 asks for the right
// file. A CP932 list reads as it always did; a UTF-8 line CP932 cannot hold stops the load.
TEST_F(JapanesePaths, ListFilesInUtf8) {
    const std::string url = Server().Origin() + "/写真/東京.bin", ascii = Server().Origin() + "/a";
    const std::string bad = "http://127.0.0.1/〜.bin";
    const struct {
        const char* what;
        std::string file;
        std::string box;  // empty: the list loads and downloads
    } rows[] = {
        {"UTF-8, LF", url + "\n" + ascii, ""},
        {"UTF-8, CR LF", url + "\r\n" + ascii + "\r\n", ""},
        {"UTF-8 with BOM, LF", "\xEF\xBB\xBF" + url + "\n" + ascii + "\n", ""},
        {"UTF-8 with BOM, CR LF", "\xEF\xBB\xBF" + url + "\r\n" + ascii, ""},
        {"CP932", Sj(url.c_str()) + "\r\n" + ascii + "\r\n", ""},
        {"UTF-8, a line CP932 lacks", url + "\n" + bad + "\n",
         FormatStr(Sid::ListLineNotCp932, {"2", "http://127.0.0.1/<U+301C>.bin"})},
    };
    m_dlg.OnInitDialog();
    const std::string listFile = m_user + "/ドキュメント/リスト.txt";
    m_host.onFileDialog = [&](bool, const std::string&, std::string& chosen) {
        chosen = Sj(listFile.c_str());
        return true;
    };
    Server().Serve("写真/東京.bin", testsrv::Pattern(2000, 7));
    m_host.texts[IDC_SAVE_DIR] = Sj((m_downloads + "/").c_str());
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        testsrv::WriteBytes(listFile, r.file);
        std::filesystem::remove(m_downloads + "/東京.bin");
        m_host.texts[IDC_LIST] = "before";
        m_host.boxes.clear();
        m_dlg.OnCommand(IDC_OPEN_LIST, false);
        if (!r.box.empty()) {
            ASSERT_EQ(m_host.boxes.size(), 1u);
            EXPECT_EQ(Readable(m_host.boxes[0].text), Readable(r.box));
            EXPECT_EQ(m_host.texts[IDC_LIST], "before");
            continue;
        }
        EXPECT_EQ(Readable(m_host.texts[IDC_LIST]), url + "\r\n" + ascii + "\r\n");
        m_dlg.OnCommand(IDC_GET, false);
        ASSERT_TRUE(m_host.AdvanceUntil([&] { return !m_dlg.batch().Running(); }, 300000));
        EXPECT_TRUE(ReadBytes(m_downloads + "/東京.bin") == testsrv::Pattern(2000, 7));
        for (const FakeBox& b : m_host.boxes) ADD_FAILURE() << "box: " << Readable(b.text);
    }
}

}  // namespace
