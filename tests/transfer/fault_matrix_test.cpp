// The fault matrix: whole batches through the real sequencer, the real transfers and the real
// curl layer, against servers that misbehave on purpose (tests/servers/fault_server.py), with
// the fake host's virtual clock standing in for the 100-second watchdog and the deadline.
// Every scenario checks the exact run log, the end state of the batch, what is on disk, and
// how the batch goes on: by itself on the next tick, or through the watchdog.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Cp932.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "transfer/LocalServers.h"
#include "window/PomvexDlg.h"

namespace {

using testsrv::ReadBytes;
using testsrv::ServerPattern;
using testsrv::ServerProcess;
using testsrv::TempDir;

// The clock text of the tick `sec` seconds after the fake host's start (2026-11-28 00:00 UTC).
std::string ClockAt(int sec) {
    char buf[64];
    snprintf(buf, sizeof buf, "11月28日　 %02d:%02d:%02d", sec / 3600, sec / 60 % 60, sec % 60);
    return Sj(buf);
}

const std::string kConnectFailed = Sj("接続に失敗しました\r\n");
const std::string kRefused =
    Sj("要求された URL がないか、1Kバイト以下のファイルです\r\nファイルをDLできませんでした\r\n");
const std::string kCreateFailed = Sj("ファイルを作成できませんでした\r\n");
const std::string kIoFailed = Sj("ファイル入出力に失敗しました\r\n");
const std::string kAborted = Sj("中止しました\r\n");
const std::string kTimeOver = Sj("タイムオーバーにより終了しました\r\n");
// The line after a failure line; `why` in CP932.
std::string Reason(const std::string& why) {
    return Sj("理由 ") + why + "\r\n";
}

std::string Announce(int sec, const std::string& url) {
    return ClockAt(sec) + "\r\n" + url + Sj("をDLします\r\n");
}
std::string AnnounceCheck(int sec, const std::string& url) {
    return ClockAt(sec) + "\r\n" + url + Sj("をチェックします\r\n");
}
std::string SaveTo(const std::string& path) {
    return Sj("保存先 ") + path + "\r\n";
}
std::string Done(int sec) {
    return ClockAt(sec) + "   " + Sj("DL終了しました\r\n");
}
std::string Round(int sec, int wait, int round, int urls) {
    return ClockAt(sec) + Sj("   ") + std::to_string(wait) + Sj("秒後に再試行 ") +
           std::to_string(round) + Sj("回目を開始します (URL ") + std::to_string(urls) +
           Sj("件)\r\n");
}
// The two rounds of a lone job that fails every time in a way that may pass, after the first pass
// ended at `sec`: each starts 60 s after its round line, and the next round line comes `releaseS`
// after that start (1 for a refusal, 101 when the watchdog releases the batch). `job(t)` is the
// job's lines when it starts at t.
std::string TwoRounds(int sec, int releaseS, const std::function<std::string(int)>& job) {
    const int second = sec + 60 + releaseS;
    return Round(sec, 60, 1, 1) + job(sec + 60) + Round(second, 60, 2, 1) + job(second + 60);
}

// The servers of this suite, started once: one fault HTTP server over a served folder.
struct FaultServers {
    TempDir root;
    ServerProcess http{"fault_server.py", {"http", root.path()}};
    std::string Http(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(http.port()) + path;
    }
};
FaultServers& Servers() {
    static FaultServers s;
    return s;
}

// The good job that follows every fault: it shows the batch went on and the next file arrived.
const size_t kGoodSize = 5000;
std::string GoodUrl() {
    static bool served = false;
    if (!served) {
        testsrv::WriteBytes(Servers().root / "good.bin", testsrv::Pattern(kGoodSize, 77));
        served = true;
    }
    return Servers().Http("/files/good.bin");
}

class FaultMatrix : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        testsrv::ClearProxyEnvironment();
        setenv("TZ", "UTC", 1);
        tzset();
    }

    void SetUp() override {
        // Short enough to keep the matrix quick, long enough for a loaded machine's loopback.
        m_limits.stallTimeoutMs = 1500;
        m_limits.connectTimeoutMs = 3000;
        Fresh();
    }

    void TearDown() override { CheckWallTime(); }

    // A new program folder, save folder, fake host at virtual time 0 and main window (with the
    // limits as they are set now), for the next scenario of a table.
    void Fresh() {
        m_dlg.reset();
        m_hostp = std::make_unique<FakeHost>();
        m_homep = std::make_unique<TempDir>();
        m_savep = std::make_unique<TempDir>();
        setenv("POMVEX_HOME", Home().path().c_str(), 1);
        m_dlg = std::make_unique<CPomvexDlg>(H(), m_client, m_limits);
        H().Attach(m_dlg.get());
        m_dlg->OnInitDialog();
        H().texts[IDC_SAVE_DIR] = Save().path() + "/";
        m_wallStart = std::chrono::steady_clock::now();
    }

    // A fault that hangs the window longer than the time-outs is a fault of its own.
    void CheckWallTime() {
        auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - m_wallStart)
                        .count();
        EXPECT_LT(wall, 20000) << "the scenario took " << wall << " ms of wall time";
    }
    // The next scenario of a table.
    void Next() {
        CheckWallTime();
        Fresh();
    }

    FakeHost& H() const { return *m_hostp; }
    const TempDir& Home() const { return *m_homep; }
    const TempDir& Save() const { return *m_savep; }

    // Presses "Get" (or "リストチェック") with `lines` in the list box, at virtual time 0.
    void Start(const std::vector<std::string>& lines, bool download = true) {
        std::string list;
        for (const auto& l : lines) list += l + "\r\n";
        H().texts[IDC_LIST] = list;
        m_dlg->OnCommand(download ? IDC_GET : IDC_CHECK_LIST, false);
        ASSERT_EQ(m_dlg->batch().Cursor(), 1);
    }

    // Lets virtual time run until the batch has ended (cursor 0), at most limitMs.
    bool RunToEnd(int64_t limitMs = 1000000) {
        return H().AdvanceUntil([&] { return m_dlg->batch().Cursor() == 0; }, limitMs);
    }

    void ExpectState(int cursor, int ready, int idle, const std::string& what) {
        EXPECT_EQ(m_dlg->batch().Cursor(), cursor) << what << ": m_nCursor";
        EXPECT_EQ(m_dlg->batch().Ready(), ready) << what << ": m_bReady";
        EXPECT_EQ(m_dlg->batch().Idle(), idle) << what << ": m_bIdle";
        EXPECT_TRUE(H().enabled) << what << ": main window left disabled";
        EXPECT_TRUE(H().modeless.empty()) << what << ": progress window left open";
        EXPECT_FALSE(H().TimerRunning(TIMER_RATE)) << what << ": rate timer left running";
    }

    void ExpectLog(const std::string& want, const std::string& what) {
        EXPECT_EQ(Readable(m_dlg->batch().Log()), Readable(want)) << what;
    }

    // The good job started at `sec` and the batch end on the tick after it.
    std::string GoodJob(int sec) const {
        return Announce(sec, GoodUrl()) + SaveTo(Save() / "good.bin") + Done(sec);
    }
    void ExpectGoodFileAndLogFile(const std::string& what) {
        EXPECT_TRUE(ReadBytes(Save() / "good.bin") == testsrv::Pattern(kGoodSize, 77))
            << what << ": the job after the fault did not arrive whole";
        EXPECT_EQ(Readable(ReadBytes(Home() / "Pomvex.log")), Readable(m_dlg->batch().Log()))
            << what << ": log file differs from the run log";
    }

    std::string ErrorBoxes() const {
        std::string s;
        for (const auto& b : H().boxes) s.append("[").append(Readable(b.text)).append("]");
        return s;
    }

    std::unique_ptr<FakeHost> m_hostp;
    std::unique_ptr<TempDir> m_homep, m_savep;
    CurlInternetClient m_client;
    std::unique_ptr<CPomvexDlg> m_dlg;
    InternetLimits m_limits;  // what the next Fresh() window's sessions open with
    std::chrono::steady_clock::time_point m_wallStart;
};

// ---------------------------------------------------------------------------------------------
// Faults of the open: the transfer logs "接続に失敗しました" and leaves m_bIdle at 1, so the
// watchdog releases the batch 100 s after the job started and logs the line once more.

struct OpenFault {
    const char* name;
    std::string url;
    std::string reason;
    bool mayPass;  // a download then goes two rounds more
};

TEST_F(FaultMatrix, OpenFaultsAreLoggedAndTheWatchdogMovesTheBatchOn) {
    TempDir certs;
    ASSERT_TRUE(testsrv::MakeSelfSignedCert(certs / "cert.pem", certs / "key.pem"));
    const std::vector<OpenFault> faults = {
        {"server accepts and never answers", Servers().Http("/hang/a.bin"), Str(Sid::NetTimedOut),
         true},
        {"redirect loop", Servers().Http("/loop/0"), Str(Sid::NetTooManyRedirects), false},
        {"nothing listens", "http://127.0.0.1:" + std::to_string(testsrv::UnusedPort()) + "/a.bin",
         Str(Sid::NetConnectRefused), true},
    };
    for (const OpenFault& f : faults) {
        for (bool download : {true, false}) {
            SCOPED_TRACE(std::string(f.name) + (download ? " (download)" : " (check)"));
            Next();
            Start({f.url, GoodUrl()}, download);
            ASSERT_TRUE(RunToEnd());
            std::string first = download ? Announce(1, f.url) : AnnounceCheck(1, f.url);
            std::string second;
            if (download) {
                second = GoodJob(102);
            } else {
                second = AnnounceCheck(102, GoodUrl()) + Sj("ファイルサイズ");
                std::string log = m_dlg->batch().Log();
                size_t at = log.find(second, first.size());
                ASSERT_NE(at, std::string::npos) << Readable(log);
                // The figure is what curl had buffered: take it from the log, check the rest.
                size_t end = log.find("\r\n", at + second.size());
                second = log.substr(at, end + 2 - at) + Sj("サーバーが示したサイズ5000バイト\r\n") +
                         Sj(" をチェック終了しました\r\n");
            }
            const std::string failed = kConnectFailed + Reason(f.reason) + kConnectFailed;
            // A check is never retried.
            const bool rounds = download && f.mayPass;
            std::string more;
            if (rounds)
                more = TwoRounds(103, 101, [&](int t) { return Announce(t, f.url) + failed; });
            ExpectLog(first + failed + second + more, f.name);
            ExpectState(0, 0, 1, f.name);
            EXPECT_EQ(ErrorBoxes(), "");
            if (download) ExpectGoodFileAndLogFile(f.name);
            // The watchdog released the batch at 101 s; the good job started on the tick after,
            // and the rounds (each released by the watchdog) ended the batch at 425 s.
            EXPECT_EQ(H().NowMs(), rounds ? 425000 : 103000);
        }
    }
}

// Open faults that need their own server or certificate; one run each, download mode.
TEST_F(FaultMatrix, FtpAndTlsOpenFaults) {
    TempDir root, certs;
    testsrv::WriteBytes(root / "data.bin", testsrv::Pattern(20000, 3));

    // TLS: a certificate for another host name, and one that expired in 2020; both trusted as
    // anchors through SSL_CERT_FILE, so only the name or the date can fail them.
    std::string mismatchCmd =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=other.invalid"
        " -addext subjectAltName=DNS:other.invalid -keyout '" +
        certs / "mkey.pem" + "' -out '" + certs / "mcert.pem" + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(mismatchCmd.c_str()), 0);
    std::string expiredCmd =
        "cd '" + certs.path() +
        "' && mkdir db && touch db/index.txt && echo 01 > db/serial"
        " && printf '[ca]\\ndefault_ca=x\\n[x]\\ndatabase=db/index.txt\\nnew_certs_dir=db\\n"
        "serial=db/serial\\ndefault_md=sha256\\npolicy=p\\ncopy_extensions=copy\\n[p]\\n"
        "commonName=supplied\\n' > ca.cnf"
        " && openssl req -new -newkey rsa:2048 -nodes -subj /CN=localhost"
        " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout ekey.pem -out e.csr"
        " && openssl ca -batch -config ca.cnf -selfsign -keyfile ekey.pem -in e.csr"
        " -out ecert.pem -startdate 20200101000000Z -enddate 20200102000000Z";
    ASSERT_EQ(std::system((expiredCmd + " >/dev/null 2>&1").c_str()), 0);

    struct Case {
        const char* name;
        std::vector<std::string> serverArgs;
        std::string scheme, path, trust;
        Sid reason;
        bool mayPass;  // then two rounds more
    };
    const std::vector<Case> cases = {
        {"FTP login refused",
         {"ftp", root.path(), "deny"},
         "ftp",
         "/data.bin",
         "",
         Sid::NetTimedOut,
         true},
        {"FTP 550 on RETR",
         {"ftp", root.path(), "refuse-retr"},
         "ftp",
         "/data.bin",
         "",
         Sid::NetFtpFileNotFound,
         false},
        {"FTP data connection never opens",
         {"ftp", root.path(), "no-data"},
         "ftp",
         "/data.bin",
         "",
         Sid::NetConnectRefused,
         true},
        {"TLS host-name mismatch",
         {"http", root.path(), "--cert", certs / "mcert.pem", "--key", certs / "mkey.pem"},
         "https",
         "/files/data.bin",
         certs / "mcert.pem",
         Sid::NetCertUntrusted,
         false},
        {"TLS expired certificate",
         {"http", root.path(), "--cert", certs / "ecert.pem", "--key", certs / "ekey.pem"},
         "https",
         "/files/data.bin",
         certs / "ecert.pem",
         Sid::NetCertExpired,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Next();
        ServerProcess server("fault_server.py", c.serverArgs);
        std::string url = c.scheme + "://127.0.0.1:" + std::to_string(server.port()) + c.path;
        if (!c.trust.empty()) setenv("SSL_CERT_FILE", c.trust.c_str(), 1);
        Start({url, GoodUrl()});
        ASSERT_TRUE(RunToEnd());
        unsetenv("SSL_CERT_FILE");
        const std::string failed = kConnectFailed + Reason(Str(c.reason)) + kConnectFailed;
        std::string more;
        if (c.mayPass) more = TwoRounds(103, 101, [&](int t) { return Announce(t, url) + failed; });
        ExpectLog(Announce(1, url) + failed + GoodJob(102) + more, c.name);
        ExpectState(0, 0, 1, c.name);
        EXPECT_EQ(ErrorBoxes(), "");
        EXPECT_EQ(ReadBytes(Save() / "data.bin"), "<missing>");
        ExpectGoodFileAndLogFile(c.name);
    }
}

// ---------------------------------------------------------------------------------------------
// Replies that are not the resource: the download refuses them (a normal end, the batch goes on
// at the next tick) and writes no file.

TEST_F(FaultMatrix, ErrorRepliesAreRefusedAndTheBatchGoesOnAtOnce) {
    // The last field: the refusal may pass, so the batch goes two rounds more.
    const std::vector<std::tuple<const char*, std::string, std::string, bool>> cases = {
        {"500 with 1500 bytes", "/status/500/1500", "HTTP 500 Internal Server Error", true},
        {"503 with 4000 bytes", "/status/503/4000", "HTTP 503 Service Unavailable", true},
        {"504 with 1100 bytes", "/status/504/1100", "HTTP 504 Gateway Timeout", true},
        {"302 without Location, 3000-byte body", "/noloc/3000", "HTTP 302 Found", false},
        // One byte every 50 ms from the start: the first block waits until the data ends, as
        // a blocking read would, and then judges the 40 bytes that came.
        {"drip one byte at a time from the start", "/drip/0/40/50", "", false},
    };
    for (const auto& [name, path, reason, mayPass] : cases) {
        SCOPED_TRACE(name);
        Next();
        std::string url = Servers().Http(path);
        Start({url, GoodUrl()});
        ASSERT_TRUE(RunToEnd());
        const std::string refused = kRefused + (reason.empty() ? "" : Reason(reason));
        std::string more;
        if (mayPass) more = TwoRounds(3, 1, [&](int t) { return Announce(t, url) + refused; });
        ExpectLog(Announce(1, url) + refused + GoodJob(2) + more, name);
        ExpectState(0, 0, 1, name);
        EXPECT_EQ(ErrorBoxes(), "");
        std::string name2 = path.substr(path.rfind('/') + 1);
        EXPECT_EQ(ReadBytes(Save() / name2), "<missing>") << "an error page was saved";
        ExpectGoodFileAndLogFile(name);
        EXPECT_EQ(H().NowMs(), mayPass ? 125000 : 3000);
    }
}

// A reset inside a body and a busy server pass; a missing file does not. After the first pass
// the round waits as long as the busy server asked, then the reset file continues from what is
// on disk (the server answers 206 with the rest only) and the busy one arrives; the 404 is asked
// once. Everything goes to the log, nothing to a box.
TEST_F(FaultMatrix, ARoundFetchesWhatMayPassAndLeavesWhatWillNot) {
    const std::string reset = Servers().Http("/once/reset/200000/reset.bin");
    const std::string busy = Servers().Http("/once/busy-90/30000/busy.bin");
    const std::string gone = Servers().Http("/status/404/1500");
    Start({reset, busy, gone});
    ASSERT_TRUE(RunToEnd(1000000));
    ExpectLog(Announce(1, reset) + SaveTo(Save() / "reset.bin") + Reason(Str(Sid::NetTransferCut)) +
                  kConnectFailed + Announce(102, busy) + kRefused +
                  Reason("HTTP 503 Service Unavailable") + Announce(103, gone) + kRefused +
                  Reason("HTTP 404 Not Found") + Round(104, 90, 1, 2) + Announce(194, reset) +
                  SaveTo(Save() / "reset.bin") + Sj("100000バイトから続きをDLします\r\n") +
                  Done(194) + Announce(195, busy) + SaveTo(Save() / "busy.bin") + Done(195),
              "reset, busy, missing");
    ExpectState(0, 0, 1, "after the round");
    EXPECT_EQ(ErrorBoxes(), "");
    EXPECT_TRUE(ReadBytes(Save() / "reset.bin") == ServerPattern(200000))
        << ReadBytes(Save() / "reset.bin").size() << " bytes on disk";
    EXPECT_TRUE(ReadBytes(Save() / "busy.bin") == ServerPattern(30000))
        << ReadBytes(Save() / "busy.bin").size() << " bytes on disk";
    EXPECT_EQ(Readable(ReadBytes(Home() / "Pomvex.log")), Readable(m_dlg->batch().Log()));
    EXPECT_EQ(H().NowMs(), 196000);
}

// A server that crawls at night and is fast again by the next round: the crawl keeps its partial
// file, marked, and the round asks for the rest only and completes it.
TEST_F(FaultMatrix, ACrawledFileIsCompletedByTheNextRound) {
    m_limits.crawlWindowMs = 2000;
    Fresh();
    const std::string url = Servers().Http("/once/crawl/200000/crawl.bin");
    Start({url});
    ASSERT_TRUE(RunToEnd(1000000));
    const std::string& log = m_dlg->batch().Log();
    const size_t round = log.find(Round(102, 60, 1, 1));
    ASSERT_NE(round, std::string::npos) << Readable(log);
    EXPECT_NE(log.find(Reason(Str(Sid::NetCrawling))), std::string::npos) << Readable(log);
    EXPECT_NE(log.find(Sj("バイトから続きをDLします\r\n"), round), std::string::npos)
        << "the round must continue the partial file: " << Readable(log);
    EXPECT_TRUE(log.ends_with(Done(162))) << Readable(log);
    EXPECT_EQ(m_dlg->batch().GetTally().Outcome(1), JobOutcome::Done);
    EXPECT_TRUE(ReadBytes(Save() / "crawl.bin") == ServerPattern(200000))
        << ReadBytes(Save() / "crawl.bin").size() << " bytes on disk";
    EXPECT_EQ(ErrorBoxes(), "");
}

// ---------------------------------------------------------------------------------------------
// Faults after the open: the read error goes to the log with its reason (no box during a batch);
// the job leaves m_bReady 0 but no URL open, so the watchdog releases the batch. Whatever arrived stays on disk, and nothing is
// logged as finished.

// A body that breaks after the URL opened is logged with its reason; the watchdog then releases
// the batch 100 s after the job started, or 100 s after the break when the download had already
// run past the watchdog's period, and the next job starts on the tick after it.
TEST_F(FaultMatrix, BrokenBodiesGoOnThroughTheWatchdog) {
    struct Case {
        const char* name;
        std::string path, file;
        std::string kept;   // "<missing>" when no file may be created
        int64_t msPerPump;  // virtual time each pump of the copy lets pass
        Sid reason;
    };
    const std::vector<Case> cases = {
        {"headers, then no body", "/nobody/5000", "5000", "<missing>", 0, Sid::NetTimedOut},
        {"close inside a chunked body", "/close-mid/300000", "300000", ServerPattern(150000), 0,
         Sid::NetTransferCut},
        {"fewer bytes than Content-Length", "/short/300000", "300000", ServerPattern(299900), 0,
         Sid::NetTransferCut},
        {"drip stalls after the first block", "/drip/2048/50/4000", "4000", ServerPattern(2048), 0,
         Sid::NetTimedOut},
        {"drip stalls after 120 s", "/drip/2048/50/4000", "4000", ServerPattern(2048), 60000,
         Sid::NetTimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Next();
        std::string url = Servers().Http(c.path);
        Start({url, GoodUrl()});
        H().pumpAdvanceMs = c.msPerPump;
        H().Advance(1000);  // the first job runs to its break inside this tick
        H().pumpAdvanceMs = 0;
        const int brokeAt = static_cast<int>(H().NowMs() / 1000);
        ExpectState(2, 0, 1, std::string(c.name) + ", after the break");
        EXPECT_EQ(ErrorBoxes(), "") << "during a batch the break goes to the log";
        EXPECT_TRUE(ReadBytes(Save() / c.file) == c.kept)
            << "the partial file must hold exactly the bytes that arrived ("
            << ReadBytes(Save() / c.file).size() << " bytes on disk)";

        ASSERT_TRUE(RunToEnd());
        std::string first = Announce(1, url);
        if (c.kept != "<missing>") first += SaveTo(Save() / c.file);
        // A watchdog that fired during the copy logged its line there and was re-armed at the
        // break; otherwise the one armed at the job's start fires at 101 s.
        const bool firedDuring = brokeAt > 101;
        ASSERT_EQ(firedDuring, c.msPerPump > 0) << "broke at " << brokeAt << " s";
        const int releasedAt = firedDuring ? brokeAt + 100 : 101;
        // Every break may pass: two rounds more, whose jobs break at once (no pump lets time
        // pass any more) and are released by the watchdog.
        const std::string broke = Reason(Str(c.reason)) + kConnectFailed;
        const std::string more = TwoRounds(releasedAt + 2, 101, [&](int t) {
            return Announce(t, url) + (c.kept != "<missing>" ? SaveTo(Save() / c.file) : "") +
                   broke;
        });
        ExpectLog(
            first + (firedDuring ? kConnectFailed : "") + broke + GoodJob(releasedAt + 1) + more,
            c.name);
        ExpectState(0, 0, 1, c.name);
        ExpectGoodFileAndLogFile(c.name);
    }
}

// ---------------------------------------------------------------------------------------------
// Servers that are slow or say too much, but deliver: the file arrives whole.

TEST_F(FaultMatrix, SlowAndOverlongBodiesArriveWhole) {
    struct Case {
        const char* name;
        std::string path, file;
        size_t size;
    };
    const std::vector<Case> cases = {
        // 2 KiB at once, then one byte every 300 ms for 6 bytes: slow, never stalled.
        {"drip one byte at a time", "/drip/2048/6/300", "300", 2054},
        // The first 500 bytes come alone: the first block must wait for the threshold, not
        // refuse a 40 KB file as "1 KB or less".
        {"small first piece", "/pieces/40000/500/300", "300", 40000},
        {"more bytes than Content-Length", "/long/20000", "20000", 20000},
        // 22 bytes over 11 s, then the rest: the first block waits past 10 s, not refused.
        {"slow first kilobyte", "/trickle/40000/22/500", "500", 40000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Next();
        std::string url = Servers().Http(c.path);
        Start({url, GoodUrl()});
        ASSERT_TRUE(RunToEnd());
        ExpectLog(Announce(1, url) + SaveTo(Save() / c.file) + Done(1) + GoodJob(2), c.name);
        ExpectState(0, 0, 1, c.name);
        EXPECT_EQ(ErrorBoxes(), "");
        EXPECT_TRUE(ReadBytes(Save() / c.file) == ServerPattern(c.size))
            << ReadBytes(Save() / c.file).size() << " bytes on disk";
        ExpectGoodFileAndLogFile(c.name);
    }
}

// A body that crawls under the floor ends like a stall: the partial stays, the batch goes on
// through the watchdog, and the two rounds that follow crawl again.
TEST_F(FaultMatrix, ACrawlEndsTheTransferAndKeepsThePartialFile) {
    // 2 KiB, then 10 bytes a second: never silent for the stall limit, far under the floor.
    m_limits.crawlWindowMs = 2000;
    Fresh();
    const std::string url = Servers().Http("/drip/2048/400/100");
    Start({url, GoodUrl()});
    ASSERT_TRUE(RunToEnd());
    const std::string crawled = Reason(Str(Sid::NetCrawling)) + kConnectFailed;
    auto crawl = [&](int t) { return Announce(t, url) + SaveTo(Save() / "100") + crawled; };
    ExpectLog(crawl(1) + GoodJob(102) + TwoRounds(103, 101, crawl), "crawl");
    EXPECT_EQ(ErrorBoxes(), "");
    const std::string got = ReadBytes(Save() / "100");
    EXPECT_TRUE(got.size() >= 2048 && got.size() < 2448 && got == ServerPattern(got.size()))
        << got.size() << " bytes kept";
    ExpectGoodFileAndLogFile("crawl");
}

TEST_F(FaultMatrix, SlowFtpDataArrivesWholeWhileTheClockRuns) {
    TempDir root;
    // The throttle lets 10000 bytes a second go and pauses about two seconds when they are
    // used up: the second half arrives after a pause far longer than one pump.
    std::string want = testsrv::Pattern(25000, 12);
    testsrv::WriteBytes(root / "slow.bin", want);
    ServerProcess ftp("fault_server.py", {"ftp", root.path(), "slow:10000"});
    std::string url = "ftp://127.0.0.1:" + std::to_string(ftp.port()) + "/slow.bin";
    // The throttle's pause is longer than the matrix's short stall limit.
    m_limits.stallTimeoutMs = 5000;
    Fresh();
    // Every pump lets 200 virtual ms pass, so the ticks and the rate sampler run nested.
    H().pumpAdvanceMs = 200;
    Start({url});
    ASSERT_TRUE(RunToEnd()) << Readable(m_dlg->batch().Log()) << ErrorBoxes();
    EXPECT_TRUE(ReadBytes(Save() / "slow.bin") == want);
    // The job ran inside the tick of second 1; its end line carries the clock of a nested tick.
    const std::string& log = m_dlg->batch().Log();
    std::string head = Announce(1, url) + SaveTo(Save() / "slow.bin");
    ASSERT_EQ(Readable(log.substr(0, head.size())), Readable(head));
    EXPECT_NE(log.find(Sj("DL終了しました\r\n"), head.size()), std::string::npos) << Readable(log);
    EXPECT_EQ(ErrorBoxes(), "");
    ExpectState(0, 0, 1, "slow FTP");
    int ticks = 0, samples = 0;
    for (const auto& [id, ms] : H().firings) {
        ticks += id == TIMER_TICK && ms > 1000 && ms < H().NowMs() - 1000;
        samples += id == TIMER_RATE;
    }
    EXPECT_GT(ticks, 5) << "the clock must keep running inside a slow download";
    EXPECT_GT(samples, 1) << "the rate sampler must run inside a slow download";
}

// ---------------------------------------------------------------------------------------------
// An endless body: only the user (cancel) ends the download; a deadline ends the batch around
// it but lets the running download go on.

TEST_F(FaultMatrix, EndlessBodyEndsOnlyByCancel) {
    std::string url = Servers().Http("/endless/endless.bin");
    int blocks = 0;
    H().onPump = [&] {
        // Two pumps per block; cancel after about 4 MB.
        if (++blocks == 8000 && !H().modeless.empty()) H().modeless.back()->PressCancel();
    };
    Start({url, GoodUrl()});
    ASSERT_TRUE(RunToEnd());
    ExpectLog(Announce(1, url) + SaveTo(Save() / "endless.bin") + kAborted, "cancel");
    ExpectState(0, 1, 1, "cancel");
    EXPECT_EQ(ReadBytes(Save() / "good.bin"), "<missing>") << "the batch must end at the cancel";
    EXPECT_EQ(ReadBytes(Home() / "Pomvex.log"), "<missing>") << "a cancel writes no log file";
    // The blocks copied before the press (a read hands out what has arrived, so a block may
    // be short), in the server's order.
    std::string got = ReadBytes(Save() / "endless.bin");
    EXPECT_GT(got.size(), 3000u * 1024u);
    EXPECT_LE(got.size(), 4000u * 1024u);
    std::string chunk = ServerPattern(65536);
    bool same = true;
    for (size_t i = 0; i < got.size() && same; ++i) same = got[i] == chunk[i % 65536];
    EXPECT_TRUE(same) << "the partial file is not the bytes the server sent";
}

TEST_F(FaultMatrix, DeadlineEndsTheBatchButNotTheRunningDownload) {
    std::string url = Servers().Http("/endless/endless.bin");
    // Armed for 00:01 of today, one hour of connection time.
    H().texts[IDC_MONTH] = "11";
    H().texts[IDC_DAY] = "28";
    H().texts[IDC_HOUR] = "0";
    H().texts[IDC_MINUTE] = "1";
    H().texts[IDC_DURATION] = "1";
    H().texts[IDC_LIST] = url + "\r\n" + GoodUrl() + "\r\n";
    m_dlg->OnCommand(IDC_GET_LATER, false);
    ASSERT_EQ(m_dlg->batch().Armed(), 1);
    // The schedule check at 100 s (00:01:40) matches and loads the list.
    ASSERT_TRUE(H().AdvanceUntil([&] { return m_dlg->batch().Cursor() == 1; }, 200000));
    ASSERT_EQ(H().NowMs(), 100000);
    EXPECT_EQ(H().TimerPeriod(TIMER_DEADLINE), 3600000u);

    // The download starts at 101 s; every pump lets one virtual second pass, so the deadline
    // at 3700 s comes inside it. The user cancels two virtual minutes after the deadline.
    H().pumpAdvanceMs = 1000;
    bool deadlineSeen = false;
    std::string logFileAtDeadline;
    H().onPump = [&] {
        if (!deadlineSeen && m_dlg->batch().Cursor() == 0) {
            deadlineSeen = true;
            logFileAtDeadline = ReadBytes(Home() / "Pomvex.log");
        }
        if (H().NowMs() >= 3820000 && !H().modeless.empty()) H().modeless.back()->PressCancel();
    };
    H().Advance(1000);  // the tick that starts the download, and everything inside it
    H().pumpAdvanceMs = 0;
    H().onPump = nullptr;

    ASSERT_TRUE(deadlineSeen) << "the deadline never fired inside the download";
    const std::string& log = m_dlg->batch().Log();
    std::string head = Announce(101, url) + SaveTo(Save() / "endless.bin");
    ASSERT_EQ(Readable(log.substr(0, head.size())), Readable(head));
    // Inside the download: the watchdog's line at 201 s, the deadline's line at 3700 s, then
    // the cancel; the download went on after the deadline and no other job started.
    EXPECT_EQ(Readable(log.substr(head.size())), Readable(kConnectFailed + kTimeOver + kAborted));
    EXPECT_EQ(Readable(logFileAtDeadline), Readable(head + kConnectFailed + kTimeOver))
        << "the deadline writes the log file with its own line last";
    ExpectState(0, 1, 1, "deadline, then cancel");
    EXPECT_EQ(H().texts[IDC_LOG], log);
    EXPECT_EQ(ReadBytes(Save() / "good.bin"), "<missing>");
    EXPECT_FALSE(H().TimerRunning(TIMER_DEADLINE));
    // Two pumps per block, one virtual second each: about 1860 blocks in 3720 virtual seconds.
    EXPECT_GT(ReadBytes(Save() / "endless.bin").size(), 1000u * 1024u);
}

// ---------------------------------------------------------------------------------------------
// Local faults: the target cannot be created or written. Both flags stay 0: the watchdog only
// logs, NEXT moves the batch on.

TEST_F(FaultMatrix, LocalFaultsGoOnThroughTheWatchdog) {
    const std::string body = testsrv::Pattern(5000, 21);
    testsrv::WriteBytes(Servers().root / "local.bin", body);
    testsrv::WriteBytes(Servers().root / "full", body);
    const std::string url = Servers().Http("/files/local.bin");

    TempDir readOnly;
    std::string readOnlyHow;
    if (geteuid() != 0) {
        chmod(readOnly.path().c_str(), 0555);
        readOnlyHow = "chmod 0555";
    } else if (std::system(("chattr +i '" + readOnly.path() + "' 2>/dev/null").c_str()) == 0) {
        readOnlyHow = "chattr +i";
    }
    struct Undo {
        std::string path, how;
        ~Undo() {
            // Best effort: a failed undo leaves only a temporary file behind.
            if (how == "chattr +i" && std::system(("chattr -i '" + path + "'").c_str()) != 0) {
            }
            if (how == "chmod 0555") chmod(path.c_str(), 0755);
        }
    } undo{readOnly.path(), readOnlyHow};

    struct Case {
        const char* name;
        std::string folder, url;
        std::string logged;      // after the announce, before the reason
        std::string reasonPath;  // the file the reason names, relative to the scenario's folder
        const char* reasonText;  // after that path
    };
    const char* kInvalidPath = " には無効なﾊﾟｽが含まれています。";
    std::vector<Case> cases = {
        // Within the scenario's save folder (a missing one would be made: keep_test).
        {"save folder cannot be made", "a-file/missing/", url, kCreateFailed,
         "a-file/missing/local.bin", kInvalidPath},
        {"target is an existing folder", "", url, kCreateFailed, "local.bin",
         " へのｱｸｾｽは拒否されました。"},
        // Bound by a file size limit while the job runs (see the loop).
        {"full disk", "", Servers().Http("/files/full"), "", "full",
         " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
    };
    if (!readOnlyHow.empty())
        cases.push_back({"save folder not writable", readOnly.path() + "/", url, kCreateFailed,
                         readOnly / "local.bin", " へのｱｸｾｽは拒否されました。"});
    else
        ADD_FAILURE() << "no way to make a read-only folder here";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Next();
        std::filesystem::create_directory(Save() / "local.bin");
        testsrv::WriteBytes(Save() / "a-file", "");
        H().texts[IDC_SAVE_DIR] = c.folder.starts_with('/') ? c.folder : Save() / c.folder;
        Start({c.url, GoodUrl()});
        {
            std::optional<testsrv::FileSizeLimit> full;
            if (c.reasonPath == "full") full.emplace(4096);
            H().Advance(1000);
        }
        ExpectState(2, 0, 1, c.name);
        EXPECT_EQ(ErrorBoxes(), "");
        EXPECT_TRUE(std::filesystem::is_directory(Save() / "local.bin"))
            << "the folder in the way was touched";
        EXPECT_FALSE(std::filesystem::exists(readOnly / "local.bin"));

        const std::string reasonPath =
            c.reasonPath.starts_with('/') ? c.reasonPath : Save() / c.reasonPath;
        const std::string written = c.reasonPath == "full" ? SaveTo(reasonPath) + kIoFailed : "";
        const std::string logged = c.logged + written + Reason(reasonPath + Sj(c.reasonText));
        H().texts[IDC_SAVE_DIR] = Save().path() + "/";
        ASSERT_TRUE(RunToEnd());
        ExpectLog(Announce(1, c.url) + logged + kConnectFailed + GoodJob(102), c.name);
        ExpectState(0, 0, 1, c.name);
        ExpectGoodFileAndLogFile(c.name);
    }
}

// 3 GiB (past every 32-bit count) from a sparse file: the copy ends normally and the progress
// window's last count is the exact size.
TEST_F(FaultMatrix, ThreeGibibytesCountPast32Bits) {
    const uint64_t size = 3ull << 30;
    {
        std::string path = Servers().root / "null";
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), static_cast<off_t>(size)), 0);
        fclose(f);
    }
    std::string url = Servers().Http("/files/null");
    std::string lastStatus;
    int64_t maxSample = 0;
    H().onPump = [&] {
        if (!H().modeless.empty()) {
            maxSample = std::max(maxSample, m_dlg->batch().GetRate().BytesSinceSample());
            if ((H().pumpCount & 0xFFFF) == 0 ||
                m_dlg->batch().GetRate().BytesSinceSample() == int64_t(size))
                lastStatus = H().modeless.back()->texts[IDC_PROGDLG_STATUS];
        }
    };
    Start({url});
    ASSERT_TRUE(RunToEnd());
    std::remove((Servers().root / "null").c_str());
    std::remove((Save() / "null").c_str());
    ExpectLog(Announce(1, url) + SaveTo(Save() / "null") + Done(1), "3 GiB");
    ExpectState(0, 0, 1, "3 GiB");
    EXPECT_EQ(ErrorBoxes(), "");
    EXPECT_EQ(maxSample, int64_t(size)) << "the byte count of the sample wrapped";
    EXPECT_EQ(Readable(lastStatus), Readable(Sj("null を保存中   3221225472バイト")));
}

}  // namespace

// One batch of every kind of job end, then a check batch: each job leaves its outcome for the
// batch, and the end-of-batch tally counts only the jobs that ended done.
TEST_F(FaultMatrix, EachJobLeavesHowItEnded) {
    testsrv::WriteBytes(Servers().root / "small.bin", testsrv::Pattern(500, 3));
    testsrv::WriteBytes(Servers().root / "taken.bin", testsrv::Pattern(3000, 4));
    testsrv::WriteBytes(Servers().root / "full.bin", testsrv::Pattern(3000, 5));
    const std::string nobody =
        "http://127.0.0.1:" + std::to_string(testsrv::UnusedPort()) + "/a.bin";
    struct Row {
        const char* name;
        std::string url;
        JobOutcome want;
    };
    // Cancel ends the batch, so its row comes last.
    const std::vector<Row> rows = {
        {"done", GoodUrl(), JobOutcome::Done},
        {"missing", Servers().Http("/status/404/1500"), JobOutcome::Refused},
        {"1 KB or less", Servers().Http("/files/small.bin"), JobOutcome::Refused},
        {"nothing listens", nobody, JobOutcome::OpenFailed},
        {"a folder where the file goes", Servers().Http("/files/taken.bin"),
         JobOutcome::CreateFailed},
        {"full disk", Servers().Http("/files/full.bin"), JobOutcome::FileError},
        {"cut off inside the body", Servers().Http("/close-mid/300000"), JobOutcome::Broken},
        {"cancelled", Servers().Http("/endless/endless.bin"), JobOutcome::Cancelled},
    };
    std::filesystem::create_directory(Save() / "taken.bin");
    // The full-disk row's writes fail as on a full disk: its file may not grow past 1000 bytes.
    std::optional<testsrv::FileSizeLimit> full;
    int pumps = 0;
    H().onPump = [&] {
        if (H().texts[IDC_URL] != rows[5].url)
            full.reset();
        else if (!full)
            full.emplace(1000);
        if (H().texts[IDC_URL] == rows.back().url && !H().modeless.empty() && ++pumps == 200)
            H().modeless.back()->PressCancel();
    };
    std::vector<std::string> urls;
    for (const Row& r : rows) urls.push_back(r.url);
    Start(urls);
    ASSERT_TRUE(RunToEnd(2000000));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(static_cast<int>(m_dlg->batch().GetTally().Outcome(i + 1)),
                  static_cast<int>(rows[i].want))
            << rows[i].name << " (" << rows[i].url << ")";
    EXPECT_EQ(m_dlg->batch().GetTally().Started(), static_cast<int>(rows.size()));
    EXPECT_EQ(m_dlg->batch().GetTally().Done(), 1);

    Start({GoodUrl(), nobody}, false);
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(m_dlg->batch().GetTally().Outcome(1), JobOutcome::Done) << "check of " << GoodUrl();
    EXPECT_EQ(m_dlg->batch().GetTally().Outcome(2), JobOutcome::OpenFailed)
        << "check of " << nobody;
    EXPECT_EQ(m_dlg->batch().GetTally().Outcome(3), JobOutcome::None) << "a slot no job reached";
    EXPECT_EQ(m_dlg->batch().GetTally().Done(), 1);
}
