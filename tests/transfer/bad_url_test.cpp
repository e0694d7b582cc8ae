// URLs nobody should type: each must end in a logged failure (or a refusal) within moments,
// never in a crash, a hang or a file written somewhere it should not be.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Resource.h"
#include "resources/Text.h"
#include "transfer/LocalServers.h"
#include "transfer/TransferRig.h"

namespace {

using testsrv::ReadBytes;
using testsrv::Servers;

enum class End { ConnectFailed, Refused, Saved };

TEST(BadUrl, EveryBadUrlEndsInALoggedOutcomeAtOnce) {
    testsrv::ClearProxyEnvironment();
    TempHome home;
    TempDir save;
    testsrv::WriteBytes(Servers().root / "a b.bin", testsrv::Pattern(3000, 5));
    const std::string local = "http://127.0.0.1:" + std::to_string(Servers().http.port());

    struct Case {
        const char* what;
        std::string url;
        End end;
        const char* savedAs;  // for End::Saved
        const char* reason;   // the reason line's text after a failure
    };
    const Case cases[] = {
        {"scheme only", "http://", End::ConnectFailed, nullptr, "URL: No host part in the URL"},
        {"no scheme, no host", "://", End::ConnectFailed, nullptr, "URL: Bad scheme"},
        {"unclosed IPv6 bracket", "http://[::1", End::ConnectFailed, nullptr,
         "URL: Bad IPv6 address"},
        {"port out of range", "http://host.invalid:99999/a.zip", End::ConnectFailed, nullptr,
         "URL: Port number was not a decimal number between 0 and 65535"},
        {"unknown scheme", "nntp://127.0.0.1/a.zip", End::ConnectFailed, nullptr,
         "Protocol \"nntp\" not supported"},
        {"only blanks", "   ", End::ConnectFailed, nullptr, "URL: Bad scheme"},
        {"control characters", local + "/files/a\x01\x7f.bin", End::ConnectFailed, nullptr,
         "URL: Bad path"},
        {"tab in the host", "http://127.0.0.1\t/a.zip", End::ConnectFailed, nullptr,
         "URL: Bad hostname"},
        {"NUL inside", std::string("http://\0/a.zip", 14), End::ConnectFailed, nullptr,
         "URL: Malformed input to a URL function"},
        {"10 KB path", local + "/" + std::string(10 * 1024, 'p'), End::Refused, nullptr,
         "HTTP 404 Not Found"},
        // Escaped the way a browser would, so the server finds the file; the name keeps the
        // escape, as the URL splitter hands the path out.
        {"space in the path", local + "/files/a b.bin", End::Saved, "a%20b.bin", ""},
    };
    for (const Case& c : cases) {
        for (bool download : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (download ? " (download)" : " (check)"));
            FakeHost host;
            TransferRig rig(host);
            host.texts[IDC_SAVE_DIR] = save.path() + "/";
            auto t0 = std::chrono::steady_clock::now();
            const JobOutcome outcome = rig.Run(c.url, download).outcome;
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - t0)
                          .count();
            EXPECT_LT(ms, 5000) << "took " << ms << " ms";
            std::string box;
            for (const auto& b : host.boxes) box += Readable(b.text);
            EXPECT_EQ(box, "") << "a bad URL must be logged, not boxed";
            EXPECT_TRUE(host.enabled);
            EXPECT_TRUE(host.modeless.empty());

            std::string start =
                "CLOCK\r\n" + c.url + Sj(download ? "をDLします\r\n" : "をチェックします\r\n");
            std::string want;
            const std::string reason = Sj("理由 ") + c.reason + "\r\n";
            if (c.end == End::ConnectFailed) {
                want = start + Sj("接続に失敗しました\r\n") + reason;
                EXPECT_EQ(outcome, JobOutcome::OpenFailed);
                EXPECT_FALSE(rig.sink.opened) << "the watchdog must be able to release the batch";
            } else if (!download && c.end == End::Refused) {
                // A check of an error page fails the open.
                want = start + Sj("接続に失敗しました\r\n") + reason;
            } else if (!download) {
                // The figure is what curl had buffered after the first block: any number.
                const std::string& log = rig.sink.log;
                std::string size = Sj("ファイルサイズ"), end = Sj(" をチェック終了しました\r\n");
                size_t digits = start.size() + size.size();
                size_t stop = log.find_first_not_of("0123456789", digits);
                want = stop == std::string::npos
                           ? start
                           : start + size + log.substr(digits, stop - digits) + Sj("バイト\r\n") +
                                 Sj("サーバーが示したサイズ3000バイト\r\n") + end;
            } else if (c.end == End::Refused) {
                want = start +
                       Sj("要求された URL がないか、1Kバイト以下のファイルです\r\n"
                          "ファイルをDLできませんでした\r\n") +
                       reason;
                EXPECT_TRUE(TransferRig::EndsNormally(outcome));
            } else {
                std::string path = save / c.savedAs;
                want = start + Sj("保存先 ") + path + "\r\nCLOCK   " + Sj("DL終了しました\r\n");
                EXPECT_TRUE(ReadBytes(path) == testsrv::Pattern(3000, 5));
            }
            EXPECT_EQ(Readable(rig.sink.log), Readable(want));
        }
    }
}

}  // namespace
