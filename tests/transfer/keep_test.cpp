// What a download leaves on disk when the target exists already: the old copy survives every
// failed re-download, the bytes that arrived are kept in <name>.part, and a complete download
// takes the old file's place. Real curl layer, local servers, the fake host as window.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/xattr.h>

#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Resource.h"
#include "transfer/LocalServers.h"
#include "ui/PomvexDlg.h"

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
        setenv("POMVEX_HOME", m_home.path().c_str(), 1);
        std::filesystem::create_directory(m_dir);
        m_dlg = std::make_unique<CPomvexDlg>(m_host, m_client);
        m_dlg->m_strClock = kClock;
        m_host.texts[IDC_SAVE_DIR] = Sj(m_dir.c_str()) + "/";
    }

    // Runs one job as the tick would start it; returns the run log.
    std::string Run(const std::string& url) {
        m_dlg->m_strLog.clear();
        m_host.boxes.clear();
        m_dlg->m_strJobs[1] = url;
        m_dlg->m_strJobs[2] = "next";
        m_dlg->m_nCursor = 2;
        m_dlg->m_bReady = 0;
        m_dlg->m_bIdle = 1;
        m_dlg->RunGuarded([&] { m_dlg->DownloadItem(1); }, false);
        return m_dlg->m_strLog;
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string Head(const std::string& url, const std::string& name) const {
        return kClock + "\r\n" + url + Sj("をDLします\r\n") + Sj("保存先 ") +
               Sj(Path(name).c_str()) + "\r\n";
    }
    std::string Done() const { return kClock + "   " + Sj("DL終了しました\r\n"); }

    testsrv::TempDir m_home, m_save;
    const std::string m_dir = m_save / "保存先の棚";  // the file-name boundary is crossed
    FakeHost m_host;
    CurlInternetClient m_client;
    std::unique_ptr<CPomvexDlg> m_dlg;
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
        {"cancel", "/files/keep.bin", "keep.bin", cancel, body, false, Sj("中止しました\r\n")},
        {"full disk", "/files/keep.bin", "keep.bin", fullDisk, body.substr(0, 20000), false,
         Sj("ファイル入出力に失敗しました\r\n")},
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
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        if (c.fault == fullDisk) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 20000;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        std::string url = Servers().Http(c.path);
        std::string log = Run(url);
        setrlimit(RLIMIT_FSIZE, &saved);
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

}  // namespace
