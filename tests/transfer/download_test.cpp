// The download and the check of one URL: the real curl layer and local servers, the fake host as
// window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Cp932.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/LocalServers.h"
#include "transfer/TransferRig.h"
#include "window/PomvexDlg.h"

namespace {

using testsrv::ReadBytes;
using testsrv::Servers;

const std::string kClock = "CLOCK";

class TransferTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsrv::ClearProxyEnvironment(); }

    void SetUp() override { m_host.texts[IDC_SAVE_DIR] = m_save.path() + "/"; }

    // Runs one job as the tick would start it, as job 1 of a batch.
    void Run(const std::string& url, bool download = true) {
        m_outcome = m_rig.Run(url, download).outcome;
    }
    // Runs `list` as a download batch through the window until `until` holds.
    void RunBatch(const std::string& list, const std::function<bool()>& until) {
        m_host.Attach(&m_dlg);
        m_dlg.OnInitDialog();
        m_host.texts[IDC_SAVE_DIR] = m_save.path() + "/";
        m_host.texts[IDC_LIST] = list;
        m_dlg.OnCommand(IDC_GET, false);
        EXPECT_TRUE(m_host.AdvanceUntil(until, 60000));
        m_host.Attach(nullptr);
    }
    std::string& Log() { return m_rig.sink.log; }

    std::string Announce(const std::string& url) const {
        return kClock + "\r\n" + url + Sj("をDLします\r\n");
    }
    std::string SaveTo(const std::string& path) const { return Sj("保存先 ") + path + "\r\n"; }
    std::string Done() const { return kClock + "   " + Sj("DL終了しました\r\n"); }
    std::string Refused() const {
        return Sj(
            "要求された URL "
            "がないか、1Kバイト以下のファイルです\r\nファイルをDLできませんでした\r\n");
    }
    std::string ConnectFailed() const { return Sj("接続に失敗しました\r\n"); }
    // The line after a failure line; `why` is CP932 already when `utf8` is false.
    static std::string Reason(const std::string& why, bool utf8 = true) {
        return Sj("理由 ") + (utf8 ? Sj(why.c_str()) : why) + "\r\n";
    }
    std::string LogBox() { return m_host.texts[IDC_LOG]; }
    bool LogFileWritten() const { return ReadBytes(m_home / "Pomvex.log") != "<missing>"; }

    // How the job ended: normally (`ready`: the next tick goes on), or failed with its URL
    // still counted open (`idle` 0) or not; and nothing of the window left behind.
    void ExpectFields(int ready, int idle, const std::string& what) {
        EXPECT_EQ(TransferRig::EndsNormally(m_outcome), ready != 0) << what;
        if (!ready) {
            EXPECT_EQ(m_rig.sink.opened, idle == 0) << what;
        }
        EXPECT_TRUE(m_host.enabled) << what << ": main window left disabled";
        EXPECT_TRUE(m_host.modeless.empty()) << what << ": progress window left open";
        EXPECT_FALSE(m_host.TimerRunning(TIMER_RATE)) << what << ": rate timer left running";
    }

    TempHome m_home;
    TempDir m_save;
    FakeHost m_host;
    TransferRig m_rig{m_host};
    JobOutcome m_outcome = JobOutcome::None;
    CurlInternetClient m_client;
    CPomvexDlg m_dlg{m_host, m_client};
};

TEST_F(TransferTest, FirstReadDecidesAndAcceptedFilesArriveWhole) {
    struct Case {
        size_t size;
        bool accepted;
    };
    for (const Case& c : {Case{0, false}, Case{999, false}, Case{1000, true}, Case{1024, true},
                          Case{1025, true}, Case{5 << 20, true}}) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        Log().clear();
        m_host.boxes.clear();
        std::string name = "d" + std::to_string(c.size) + ".bin";
        std::string want = testsrv::Pattern(c.size, static_cast<unsigned>(c.size) + 11);
        std::string url = Servers().Serve(name, want);
        Run(url);
        std::string target = m_save / name;
        EXPECT_TRUE(m_host.boxes.empty())
            << Readable(m_host.boxes.empty() ? "" : m_host.boxes[0].text);
        ExpectFields(1, 1, "normal end");
        if (c.accepted) {
            EXPECT_TRUE(ReadBytes(target) == want) << "file differs from the resource";
            std::string log = Announce(url) + SaveTo(target) + Done();
            EXPECT_EQ(Readable(Log()), Readable(log));
            EXPECT_EQ(Readable(LogBox()), Readable("\r\n\r\n\r\n\r\n" + log));
            EXPECT_EQ(m_rig.sink.rate.BytesSinceSample(), 0);
        } else {
            EXPECT_EQ(ReadBytes(target), "<missing>");
            EXPECT_EQ(Readable(Log()), Readable(Announce(url) + Refused()));
            EXPECT_EQ(Readable(LogBox()), Readable("\r\n\r\n\r\n\r\n" + Announce(url) + Refused()));
        }
    }
}

TEST_F(TransferTest, ProgressWindowShowsNameAndCountAndGoesAway) {
    std::string url = Servers().Serve("shown.bin", testsrv::Pattern(4000, 5));
    std::string lastStatus;
    int caption = 0;
    m_host.onPump = [&] {
        if (m_host.modeless.empty()) return;
        EXPECT_FALSE(m_host.enabled) << "main window must be disabled during the copy";
        lastStatus = m_host.modeless.back()->texts[IDC_PROGDLG_STATUS];
        caption += m_host.modeless.back()->caption == "Pomvex";
    };
    Run(url);
    // The cancel check after the last block pumps once more and sees the final count.
    EXPECT_EQ(Readable(lastStatus), Readable(Sj("shown.bin を保存中   4000バイト")));
    EXPECT_GT(caption, 0);
    ExpectFields(1, 1, "completed");
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "SetTimer(5,3000)"),
              m_host.calls.end());
}

TEST_F(TransferTest, HttpErrorPageIsRefusedWhenDownloadingAndAFailedOpenWhenChecking) {
    std::string url = Servers().Http("/status/404/2000");
    Run(url);
    ExpectFields(1, 1, "404 download");
    EXPECT_EQ(Readable(Log()), Readable(Announce(url) + Refused() + Reason("HTTP 404 Not Found")));
    EXPECT_EQ(ReadBytes(m_save / "2000"), "<missing>");
    EXPECT_FALSE(LogFileWritten());

    Log().clear();
    Run(url, false);
    EXPECT_EQ(Readable(Log()), Readable(kClock + "\r\n" + url + Sj("をチェックします\r\n") +
                                        ConnectFailed() + Reason("HTTP 404 Not Found")));
    ExpectFields(0, 1, "404 check");
    EXPECT_TRUE(m_host.boxes.empty());
}

TEST_F(TransferTest, RefusalOfTheLastEntryWritesTheLogFile) {
    std::string url = Servers().Serve("tiny.bin", "tiny");
    // Stopped after the job, before the tick that ends the batch.
    RunBatch(url + "\r\n", [&] { return m_dlg.batch().Cursor() == 2 && m_dlg.batch().Ready(); });
    const std::string log = ReadBytes(m_home / "Pomvex.log");
    EXPECT_TRUE(log.ends_with("\r\n" + url + Sj("をDLします\r\n") + Refused())) << Readable(log);
    EXPECT_EQ(Readable(LogBox()), Readable(log)) << "the whole run log is shown";
}

TEST_F(TransferTest, OpenFailuresLogAndLeaveTheWatchdogToReleaseTheBatch) {
    testsrv::TempDir dir;
    struct Case {
        const char* what;
        std::string url;
        std::string reason;  // CP932
    };
    const Case cases[] = {
        {"unknown host", "http://no-such-host.invalid/a.zip", Str(Sid::NetHostNotFound)},
        {"nothing listens", "http://127.0.0.1:" + std::to_string(testsrv::UnusedPort()) + "/a.zip",
         Str(Sid::NetConnectRefused)},
        {"missing FTP file", Servers().Ftp("/missing.bin"), Str(Sid::NetFtpFileNotFound)},
        {"redirect to a local file", Servers().Http("/redirect?to=file:///etc/passwd"),
         "Protocol \"file\" not supported or disabled in libcurl"},
        {"missing local file", "file://" + dir.path() + "/missing.bin",
         dir.path() + Sj("/missing.bin が見つかりませんでした。")},
    };
    for (const Case& c : cases) {
        for (bool download : {true, false}) {
            std::string what = std::string(c.what) + (download ? " (download)" : " (check)");
            Log().clear();
            m_host.boxes.clear();
            m_host.texts[IDC_LOG] = "before";
            Run(c.url, download);
            ExpectFields(0, 1, what);
            EXPECT_TRUE(m_host.boxes.empty()) << what;
            std::string start =
                download ? Announce(c.url) : kClock + "\r\n" + c.url + Sj("をチェックします\r\n");
            const std::string failed = start + ConnectFailed() + Reason(c.reason, false);
            EXPECT_EQ(Readable(Log()), Readable(failed)) << what;
            // Both show the failure at once: the download its own lines, the check the log.
            EXPECT_EQ(Readable(LogBox()), Readable(download ? "\r\n\r\n\r\n\r\n" + failed : failed))
                << what;
        }
    }
    EXPECT_EQ(ReadBytes(m_save / "passwd"), "<missing>");
}

TEST_F(TransferTest, FtpAndLocalFilesArriveUnchanged) {
    // CR LF, lone LF, lone CR and a final CR: any text-mode conversion shows.
    std::string want = "line1\r\nline2\nline3\r" + testsrv::Pattern(70000, 9) + "\r\n\n\r";
    testsrv::WriteBytes(Servers().root / "crlf.bin", want);
    Run(Servers().Ftp("/crlf.bin"));
    ExpectFields(1, 1, "ftp");
    EXPECT_TRUE(ReadBytes(m_save / "crlf.bin") == want) << "FTP changed the bytes";

    testsrv::TempDir dir;
    testsrv::WriteBytes(dir / "local.bin", want);
    std::string url = "file://" + dir.path() + "/local.bin";
    Run(url);
    ExpectFields(1, 1, "file:");
    EXPECT_TRUE(ReadBytes(m_save / "local.bin") == want) << "file: changed the bytes";

    Log().clear();
    Run(url, false);
    ExpectFields(1, 1, "check file:");
    std::string log = kClock + "\r\n" + url + Sj("をチェックします\r\n") + Sj("ファイルサイズ") +
                      std::to_string(want.size()) + Sj("バイト\r\n") +
                      Sj(" をチェック終了しました\r\n");
    EXPECT_EQ(Readable(Log()), Readable(log));
    EXPECT_EQ(Readable(LogBox()), Readable(log));
}

TEST_F(TransferTest, CheckOfASmallResourceReportsNothingLeftAndTheAnnouncedSize) {
    const std::string body = testsrv::Pattern(1024);
    for (const std::string& url :
         {Servers().Serve("c1024.bin", body), Servers().Ftp("/c1024.bin")}) {
        Log().clear();
        Run(url, false);
        ExpectFields(1, 1, "check " + url);
        EXPECT_EQ(Readable(Log()), Readable(kClock + "\r\n" + url +
                                            Sj("をチェックします\r\nファイルサイズ0バイト\r\n") +
                                            Sj("サーバーが示したサイズ1024バイト\r\n") +
                                            Sj(" をチェック終了しました\r\n")));
        EXPECT_EQ(ReadBytes(m_save / "c1024.bin"), "<missing>") << "a check never writes";
    }
}

TEST_F(TransferTest, HttpsNeedsATrustedCertificate) {
    testsrv::TempDir dir;
    ASSERT_TRUE(testsrv::MakeSelfSignedCert(dir / "cert.pem", dir / "key.pem")) << "openssl failed";
    std::string want = testsrv::Pattern(20000, 4);
    testsrv::WriteBytes(Servers().root / "tls.bin", want);
    testsrv::ServerProcess tls("http_server.py", {Servers().root.path(), "--cert", dir / "cert.pem",
                                                  "--key", dir / "key.pem"});
    std::string url = "https://127.0.0.1:" + std::to_string(tls.port()) + "/files/tls.bin";

    Run(url);
    ExpectFields(0, 1, "untrusted");
    EXPECT_EQ(Readable(Log()), Readable(Announce(url) + ConnectFailed() +
                                        Reason(Str(Sid::NetCertUntrusted), false)));

    setenv("SSL_CERT_FILE", (dir / "cert.pem").c_str(), 1);
    Log().clear();
    Run(url);
    unsetenv("SSL_CERT_FILE");
    ExpectFields(1, 1, "trusted");
    EXPECT_TRUE(ReadBytes(m_save / "tls.bin") == want);
}

TEST_F(TransferTest, RedirectIsFollowedAndSavedUnderTheGivenName) {
    std::string want = testsrv::Pattern(8000, 8);
    std::string target = Servers().Serve("moved.bin", want);
    std::string url = Servers().Http("/redirect?to=" + target);
    Run(url);
    ExpectFields(1, 1, "redirect");
    EXPECT_TRUE(ReadBytes(m_save / "moved.bin") == want);
}

TEST_F(TransferTest, BrokenBodyReachesTheErrorBoxAndKeepsThePartialFile) {
    struct Case {
        std::string path, name;
        size_t sent;
    };
    for (const Case& c :
         {Case{"/short/300000", "300000", 299900}, Case{"/close-mid/300000", "300000", 150000}}) {
        SCOPED_TRACE(c.path);
        std::remove((m_save / c.name).c_str());
        Log().clear();
        m_host.boxes.clear();
        std::string url = Servers().Http(c.path);
        Run(url);
        ASSERT_EQ(m_host.boxes.size(), 1u) << "the read error must reach the error box";
        EXPECT_EQ(m_host.boxes[0].type & MB_ICONSTOP, MB_ICONSTOP);
        EXPECT_FALSE(m_host.boxes[0].text.empty());
        ExpectFields(0, 0, "broken body");
        EXPECT_EQ(Readable(Log()), Readable(Announce(url) + SaveTo(m_save / c.name)))
            << "nothing logged as finished";
        EXPECT_TRUE(ReadBytes(m_save / c.name) == testsrv::ServerPattern(c.sent))
            << "the partial file must hold every byte that arrived";
    }
}

TEST_F(TransferTest, WriteFailureTakesTheIoFailurePath) {
    // Small: the write fails after the copy, from the reader's buffer. Larger than the reader's
    // buffer: it fails inside the library's callback, and must come out of it all the same.
    for (const auto& [name, size, limit] :
         {std::tuple{"full", 5000, 4096}, std::tuple{"full.big", 12 << 20, 9 << 20}}) {
        SCOPED_TRACE(name);
        std::string url = Servers().Serve(name, testsrv::Pattern(size));
        m_host.boxes.clear();
        {
            const testsrv::FileSizeLimit full(limit);
            Run(url);
        }
        ExpectFields(0, 0, "disk full");
        EXPECT_TRUE(m_host.boxes.empty());
        std::string log =
            Announce(url) + SaveTo(m_save / name) + Sj("ファイル入出力に失敗しました\r\n") +
            Reason(m_save / name + Sj(" へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"), false);
        EXPECT_EQ(Readable(Log()), Readable(log));
        EXPECT_EQ(Readable(LogBox()), Readable("\r\n\r\n\r\n\r\n" + log));
        EXPECT_EQ(m_rig.sink.rate.BytesSinceSample(), 0);
    }
}

TEST_F(TransferTest, TheRateCapHoldsTheDownloadUnderIt) {
    InternetLimits capped;
    capped.maxReceiveBytesPerSec = 100 * 1024;
    TransferRig rig(m_host, capped);
    const std::string want = testsrv::Pattern(600 * 1024, 9);
    const std::string url = Servers().Serve("capped.bin", want);
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double ahead = 0;  // the most the progress window's count ran ahead of the cap, in bytes
    m_host.onPump = [&] {
        ahead = std::max(ahead, rig.sink.rate.BytesSinceSample() - 102400 * seconds());
    };
    EXPECT_EQ(rig.Run(url).outcome, JobOutcome::Done);
    EXPECT_GE(seconds(), 5.0) << "600 KB under 100 KB/s";
    EXPECT_LE(ahead, 102400 / 8 + 2048) << "bytes counted ahead of the cap";
    EXPECT_TRUE(ReadBytes(m_save / "capped.bin") == want);
}

TEST_F(TransferTest, CreateFailureIsLoggedOnly) {
    std::string url = Servers().Serve("x.bin", testsrv::Pattern(5000));
    testsrv::WriteBytes(m_save / "a-file", "");
    m_host.texts[IDC_SAVE_DIR] = m_save / "a-file/no-such-folder/";
    Run(url);
    ExpectFields(0, 0, "create failed");
    EXPECT_EQ(Readable(Log()), Readable(Announce(url) + Sj("ファイルを作成できませんでした\r\n") +
                                        Reason(m_save / "a-file/no-such-folder/x.bin" +
                                                   Sj(" には無効なﾊﾟｽが含まれています。"),
                                               false)));
    EXPECT_EQ(Readable(LogBox()), Readable("\r\n\r\n\r\n\r\n" + Announce(url)))
        << "the log box is not updated";
}

TEST_F(TransferTest, FolderWithoutTrailingSlashStillMeansThatFolder) {
    std::string want = testsrv::Pattern(3000, 2);
    std::string url = Servers().Serve("a.zip", want);
    m_host.texts[IDC_SAVE_DIR] = m_save.path();
    Run(url);
    ExpectFields(1, 1, "folder without slash");
    EXPECT_TRUE(ReadBytes(m_save / "a.zip") == want);
    EXPECT_NE(Log().find(SaveTo(m_save / "a.zip")), std::string::npos) << Readable(Log());
}

TEST_F(TransferTest, CancelKeepsThePartialFileAndEndsTheBatch) {
    std::string want = testsrv::Pattern(5 << 20, 6);
    std::string url = Servers().Serve("cancel.bin", want);
    int pumps = 0;
    m_host.onPump = [&] {
        if (++pumps == 6 && !m_host.modeless.empty()) m_host.modeless.back()->PressCancel();
    };
    RunBatch(url + "\r\nnext\r\n", [&] { return !m_dlg.batch().Running(); });
    EXPECT_TRUE(m_host.enabled) << "main window left disabled";
    EXPECT_TRUE(m_host.modeless.empty()) << "progress window left open";
    EXPECT_FALSE(m_host.TimerRunning(TIMER_RATE)) << "rate timer left running";
    const std::string& log = m_dlg.batch().Log();
    EXPECT_TRUE(log.ends_with("\r\n" + url + Sj("をDLします\r\n") + SaveTo(m_save / "cancel.bin") +
                              Sj("中止しました\r\n")))
        << Readable(log);
    EXPECT_EQ(Readable(LogBox()), Readable(log)) << "the whole run log is shown";
    EXPECT_FALSE(LogFileWritten());
    // Three blocks were copied when the sixth pump (the third cancel check) saw the press.
    EXPECT_TRUE(ReadBytes(m_save / "cancel.bin") == want.substr(0, 3072));
}

}  // namespace
