// What a download leaves on disk when the target exists already: the old copy survives every
// failed re-download, the bytes that arrived are kept in <name>.part, and a complete download
// takes the old file's place. Real curl layer, local servers, the fake host as window.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Resource.h"
#include "transfer/LocalServers.h"
#include "transfer/TransferRig.h"

namespace {

using testsrv::ReadBytes;
using testsrv::Servers;

const std::string kClock = "CLOCK";

// The attribute `name` of the file at `path` (UTF-8), or "<none>".
std::string Attr(const std::string& path, const char* name) {
    char buf[4096];
    ssize_t n = getxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? "<none>" : std::string(buf, static_cast<size_t>(n));
}

class KeepTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsrv::ClearProxyEnvironment(); }

    void SetUp() override {
        std::filesystem::create_directory(m_dir);
        m_host.texts[IDC_SAVE_DIR] = Sj(m_dir.c_str()) + "/";
    }

    // Runs one job as the tick would start it; returns the run log.
    // As job `slot` of the batch (a job's own earlier file is its own, not another's).
    std::string Run(const std::string& url, int slot = 1) {
        m_host.boxes.clear();
        m_rig.Run(url, true, slot, m_batch);
        return m_rig.sink.log;
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string Head(const std::string& url, const std::string& name) const {
        return kClock + "\r\n" + url + Sj("をDLします\r\n") + Sj("保存先 ") +
               Sj(Path(name).c_str()) + "\r\n";
    }
    std::string Done() const { return kClock + "   " + Sj("DL終了しました\r\n"); }

    TempHome m_home;
    TempDir m_save;
    const std::string m_dir = m_save / "保存先の棚";  // the file-name boundary is crossed
    FakeHost m_host;
    TransferRig m_rig{m_host};
    uint32_t m_batch = 1;  // the batch serial the jobs run in
};

// Each way a re-download can end, over an existing file (and a .part of an earlier failure).
TEST_F(KeepTest, AnOldFileSurvivesEveryFailedReplacementAndTheBytesThatArrivedAreKept) {
    const std::string old = "the copy the user already had\n";
    const std::string body = testsrv::Pattern(100000, 41);
    Servers().Serve("keep.bin", body);
    enum Fault { none, cancel, fullDisk };
    struct Case {
        const char* name;
        std::string path, file;
        Fault fault;
        std::string arrived;  // the bytes the server sent before the end
        bool completes;
        std::string logTail;  // after the "保存先" line
    };
    const std::vector<Case> cases = {
        {"complete download replaces the old file", "/files/keep.bin", "keep.bin", none, body, true,
         Done()},
        // Large enough that the headers arrive before the connection breaks.
        {"broken body", "/short/300000", "300000", none, testsrv::ServerPattern(299900), false, ""},
        // The line that says so is the batch's, once the transfer has returned.
        {"cancel", "/files/keep.bin", "keep.bin", cancel, body, false, ""},
        {"full disk", "/files/keep.bin", "keep.bin", fullDisk, body.substr(0, 20000), false,
         Sj("ファイル入出力に失敗しました\r\n") + Sj("理由 ") + Sj(Path("keep.bin.part").c_str()) +
             Sj(" へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsrv::WriteBytes(Path(c.file), old);
        testsrv::WriteBytes(Path(c.file + ".part"), "left by an earlier failure");
        m_host.onPump = [&] {
            if (c.fault == cancel && !m_host.modeless.empty())
                m_host.modeless.back()->PressCancel();
        };
        // A file may not grow past 20000 bytes: the write fails as on a full disk.
        std::optional<testsrv::FileSizeLimit> full;
        if (c.fault == fullDisk) full.emplace(20000);
        std::string url = Servers().Http(c.path);
        std::string log = Run(url);
        full.reset();
        m_host.onPump = nullptr;

        EXPECT_EQ(Readable(log), Readable(Head(url, c.file) + c.logTail));
        EXPECT_EQ(m_host.boxes.size(), c.path.starts_with("/short") ? 1u : 0u)
            << "only the broken body reaches the error box";
        const std::string target = ReadBytes(Path(c.file)),
                          part = ReadBytes(Path(c.file + ".part"));
        if (c.completes) {
            EXPECT_TRUE(target == c.arrived) << target.size() << " bytes in the target";
            EXPECT_EQ(part, "<missing>");
            EXPECT_EQ(Attr(Path(c.file), "user.xdg.origin.url"), url);
            EXPECT_EQ(Attr(Path(c.file), "user.pomvex.partial"), "<none>");
            continue;
        }
        EXPECT_EQ(target, old) << "the old copy was touched";
        // A cancel stops after the first block: what arrived by then is a prefix.
        EXPECT_TRUE(!part.empty() && part.size() <= c.arrived.size() &&
                    c.arrived.compare(0, part.size(), part) == 0)
            << part.size() << " bytes in the .part";
        if (c.fault != cancel) {
            EXPECT_EQ(part.size(), c.arrived.size());
        }
        EXPECT_TRUE(Attr(Path(c.file + ".part"), "user.pomvex.partial").starts_with(url + '\0'))
            << "the .part must carry its partial mark";
    }
}

// A new name is written in place, as is a second item of that name, which then replaces the
// first; nothing is left beside them.
TEST_F(KeepTest, NewNamesAreWrittenInPlaceAndASecondItemOfTheSameNameReplacesTheFirst) {
    const std::string first = testsrv::Pattern(3000, 1), second = testsrv::Pattern(5000, 2);
    std::filesystem::create_directories(Servers().root / "a");
    std::filesystem::create_directories(Servers().root / "b");
    testsrv::WriteBytes(Servers().root / "a/same.bin", first);
    testsrv::WriteBytes(Servers().root / "b/same.bin", second);
    for (const auto& [dir, want] : {std::pair{"a", first}, std::pair{"b", second}}) {
        SCOPED_TRACE(dir);
        std::string url = Servers().Http(std::string("/files/") + dir + "/same.bin");
        EXPECT_EQ(Readable(Run(url)), Readable(Head(url, "same.bin") + Done()));
        EXPECT_TRUE(ReadBytes(Path("same.bin")) == want);
        EXPECT_EQ(ReadBytes(Path("same.bin.part")), "<missing>");
    }
}

// URLs of one batch that end in the same name keep a file each, in a save folder two levels deep
// that the first of them makes; the same list run again replaces the same names.
TEST_F(KeepTest, UrlsOfOneBatchThatShareANameKeepAFileEach) {
    const std::string sub = "まだない/二段目/";
    m_host.texts[IDC_SAVE_DIR] = Sj(Path(sub).c_str());
    const std::vector<std::string> rows[] = {{"data.bin", "data (2).bin", "data (3).bin"},
                                             {"download", "download (2)", "download (3)"}};
    for (uint32_t batch = 1; batch <= 4; ++batch) {  // each row run twice
        const std::vector<std::string>& names = rows[(batch - 1) / 2];
        m_batch = batch;  // as each load of the list counts
        for (size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(names[i] + " of batch " + std::to_string(batch));
            const std::string body = testsrv::Pattern(3000 + 1000 * i, batch * 10 + i);
            std::filesystem::create_directories(Servers().root / std::to_string(i));
            const std::string url = Servers().Serve(std::to_string(i) + "/" + names[0], body);
            EXPECT_EQ(Readable(Run(url, static_cast<int>(i) + 1)),
                      Readable(Head(url, sub + names[i]) + Done()));
            EXPECT_TRUE(ReadBytes(Path(sub + names[i])) == body);
        }
    }
}

// A file names where it came from, and no mark it ever carries holds the password.
TEST_F(KeepTest, MarksCarryTheUrlWithoutItsPassword) {
    const std::string body = testsrv::Pattern(200000, 7);
    std::string plain = Servers().Serve("cred.bin", body);
    std::string url = plain;
    url.insert(url.find("//") + 2, "user:secret@");
    m_host.onPump = [&] {
        if (!m_host.modeless.empty()) m_host.modeless.back()->PressCancel();
    };
    Run(url);
    m_host.onPump = nullptr;
    std::string withUser = plain;
    withUser.insert(withUser.find("//") + 2, "user@");
    EXPECT_EQ(Attr(Path("cred.bin"), "user.pomvex.partial").substr(0, withUser.size() + 1),
              withUser + '\0')
        << "a cancelled download stays marked as partial, without the password";
    Run(url);
    EXPECT_TRUE(ReadBytes(Path("cred.bin")) == body);
    EXPECT_EQ(Attr(Path("cred.bin"), "user.xdg.origin.url"), plain);
    EXPECT_EQ(Attr(Path("cred.bin"), "user.pomvex.partial"), "<none>");
}

// The requests /range/NAME received, as the server logged them.
std::string RequestsOf(const std::string& name) {
    CurlInternetClient client;
    auto f = client.OpenSession({"log", {}})->OpenURL(Servers().Http("/requests/" + name));
    std::string log;
    char block[4096];
    while (size_t n = f->Read(block, sizeof block)) log.append(block, n);
    return log;
}

std::string ResumeLine(size_t from) {
    return std::to_string(from) + Sj("バイトから続きをDLします\r\n");
}

// A download stopped half-way (中止 after about 100 blocks), run again: what the second run asks
// for and leaves on disk. The query stays in the file name.
TEST_F(KeepTest, ASecondRunContinuesOnlyTheSameVersionOfTheSameUrl) {
    enum Between { nothing, changeOnServer };
    struct Case {
        const char* name;
        std::string first, second, query;  // /range/<first><query>, then /range/<second><query>
        bool oldFile;                      // the target exists before the first run
        Between between;
        bool resumes;
        size_t size = 1000000;  // of the resource
        int stopAt = 200;       // pumps of the first run (two per block)
    };
    const std::string query = "?q=1";
    const std::vector<Case> cases = {
        {"stopped, then continued", "r1.bin", "r1.bin", query, false, nothing, true},
        {"over an existing file: the .part is continued, then replaces it", "r2.bin", "r2.bin",
         query, true, nothing, true},
        {"changed on the server: the new version whole", "r3.bin", "r3.bin", query, false,
         changeOnServer, false},
        {"ranges ignored: the whole file", "r4.bin", "r4.bin", query + "&ranges=ignore", false,
         nothing, false},
        {"partial of another URL: started over", "sub/r5.bin", "r5.bin", query, false, nothing,
         false},
        {"a rest under 1 KB: the whole file is judged", "r6.bin", "r6.bin", query, false, nothing,
         true, 1500, 1},
    };
    std::filesystem::create_directories(Servers().root / "sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string saved = c.second.substr(c.second.rfind('/') + 1) + c.query;
        std::string body = testsrv::Pattern(c.size, 60);
        Servers().Serve(c.first, body);
        Servers().Serve(c.second, body);
        if (c.oldFile) testsrv::WriteBytes(Path(saved), "old");
        int pumps = 0;
        m_host.onPump = [&] {
            if (++pumps == c.stopAt && !m_host.modeless.empty())
                m_host.modeless.back()->PressCancel();
        };
        Run(Servers().Http("/range/" + c.first + c.query));
        m_host.onPump = nullptr;
        const size_t have = ReadBytes(Path(c.oldFile ? saved + ".part" : saved)).size();
        ASSERT_GT(have, 0u);
        ASSERT_LT(have, body.size());
        if (c.size < 2000) {
            ASSERT_LT(body.size() - have, 1000u) << "the rest must be under 1 KB";
        }
        if (c.between == changeOnServer) {
            body = testsrv::Pattern(800000, 61);
            Servers().Serve(c.second, body);
        }
        const size_t before = RequestsOf(c.second).size();

        const std::string url = Servers().Http("/range/" + c.second + c.query);
        std::string status;
        m_host.onPump = [&] {
            if (!m_host.modeless.empty())
                status = m_host.modeless.back()->texts[IDC_PROGDLG_STATUS];
        };
        EXPECT_EQ(Readable(Run(url)),
                  Readable(Head(url, saved) + (c.resumes ? ResumeLine(have) : "") + Done()));
        m_host.onPump = nullptr;
        EXPECT_EQ(Readable(status), saved + " を保存中   " + std::to_string(body.size()) + "バイト")
            << "the progress window counts the whole file";
        EXPECT_TRUE(ReadBytes(Path(saved)) == body)
            << ReadBytes(Path(saved)).size() << " bytes on disk, want " << body.size();
        EXPECT_EQ(ReadBytes(Path(saved + ".part")), "<missing>");
        EXPECT_EQ(Attr(Path(saved), "user.pomvex.partial"), "<none>");
        const std::string asked = RequestsOf(c.second).substr(before);
        const bool ranged =
            asked.find("Range: bytes=" + std::to_string(have) + "-") != std::string::npos;
        EXPECT_EQ(ranged, c.first == c.second) << "a copy is continued only for its own URL:\n"
                                               << asked;
    }
}

// FTP: a cancelled download is continued with REST once size and time still match.
TEST_F(KeepTest, FtpContinuesWithRest) {
    testsrv::TempDir logDir;
    testsrv::ServerProcess ftp("ftp_server.py",
                               {Servers().root.path(), "--command-log", logDir / "log"});
    const std::string body = testsrv::Pattern(200000, 62);
    Servers().Serve("f1.bin", body);
    const std::string url = "ftp://127.0.0.1:" + std::to_string(ftp.port()) + "/f1.bin";
    m_host.onPump = [&] {
        if (!m_host.modeless.empty()) m_host.modeless.back()->PressCancel();
    };
    Run(url);
    m_host.onPump = nullptr;
    const size_t have = ReadBytes(Path("f1.bin")).size();
    ASSERT_GT(have, 0u);
    ASSERT_LT(have, body.size());
    EXPECT_EQ(Readable(Run(url)), Readable(Head(url, "f1.bin") + ResumeLine(have) + Done()));
    EXPECT_TRUE(ReadBytes(Path("f1.bin")) == body);
    EXPECT_NE(ReadBytes(logDir / "log").find("REST " + std::to_string(have)), std::string::npos)
        << ReadBytes(logDir / "log");
}

// A program killed in the middle of a download leaves a marked file that the next run of the
// same list completes by asking for the rest.
TEST_F(KeepTest, AfterSigkillTheNextRunCompletesTheFileByResuming) {
    const std::string body = testsrv::Pattern(600000, 63);
    Servers().Serve("k1.bin", body);
    const std::string url = Servers().Http("/range/k1.bin?slow=2");
    const std::string saved = "k1.bin?slow=2";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program: a fresh window and client of its own, the same list.
        FakeHost host;
        TransferRig rig(host);
        host.texts[IDC_SAVE_DIR] = Sj(m_dir.c_str()) + "/";
        rig.Run(url);
        _exit(0);
    }
    // Killed once the first buffers are on disk, well before the end.
    size_t have = 0;
    for (int i = 0; i < 2000 && have < 128 * 1024; ++i) {
        usleep(5000);
        have = ReadBytes(Path(saved)).size();
        if (have == std::string("<missing>").size()) have = 0;
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the download ended before the kill";
    have = ReadBytes(Path(saved)).size();
    ASSERT_GE(have, 128u * 1024u);
    ASSERT_LT(have, body.size());
    ASSERT_NE(Attr(Path(saved), "user.pomvex.partial"), "<none>");

    EXPECT_EQ(Readable(Run(url)), Readable(Head(url, saved) + ResumeLine(have) + Done()));
    EXPECT_TRUE(ReadBytes(Path(saved)) == body);
    EXPECT_EQ(Attr(Path(saved), "user.xdg.origin.url"), url);
}

}  // namespace
