// The curl layer on its own: what a reader sees, byte for byte, against local servers.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "transfer/LocalServers.h"

namespace {

using testsrv::Servers;

class CurlInternetTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testsrv::ClearProxyEnvironment(); }
    // A session with the limits as the test has set them.
    std::unique_ptr<CInternetFile> Open(const std::string& url) {
        m_session = m_client.OpenSession({"My Session", m_limits});
        return m_session->OpenURL(url);
    }

    CurlInternetClient m_client;
    std::unique_ptr<CInternetSession> m_session;
    InternetLimits m_limits;
};

TEST_F(CurlInternetTest, RewindDeliversEveryByteOnceForAnySize) {
    struct Case {
        size_t size;
        size_t readBeforeRewind;
        size_t bufferBytes;
    };
    const Case cases[] = {
        {0, 1024, 1 << 20},
        {1, 1024, 1 << 20},
        {1024, 1024, 1 << 20},
        {1025, 1024, 1 << 20},
        {5 << 20, 1024, 1 << 20},
        // A small buffer makes the transfer pause and resume many times.
        {5 << 20, 1024, 16 * 1024},
        // More read before the rewind than the buffer keeps: the rewind fetches again.
        {3 << 20, 200 * 1024, 64 * 1024},
    };
    for (const Case& c : cases) {
        m_limits.bufferBytes = c.bufferBytes;
        m_limits.receiveChunkBytes = 16 * 1024;
        std::string name = std::string("r").append(std::to_string(c.size)).append(".bin");
        std::string want = testsrv::Pattern(c.size, static_cast<unsigned>(c.size));
        std::string url = Servers().Serve(name, want);
        auto f = Open(url);
        std::string got = testsrv::ReadLikeDownload(*f, c.readBeforeRewind);
        EXPECT_TRUE(got == want) << url << " buffer " << c.bufferBytes << ": got " << got.size()
                                 << " bytes, want " << want.size()
                                 << " (same size: " << (got.size() == want.size()) << ")";
        EXPECT_EQ(f->GetFileName(), name);
        f->Close();
        f->Close();  // twice is allowed
    }
}

TEST_F(CurlInternetTest, FailuresOfTheOpen) {
    struct Case {
        const char* what;
        std::string url;
        uint32_t code;  // 0: any code
    };
    testsrv::WriteBytes(Servers().root / "unasked.bin", "0123456789");
    const Case cases[] = {
        {"HTTP 404", Servers().Http("/status/404/2000"), INTERNET_ERROR_HTTP_STATUS},
        {"HTTP 500", Servers().Http("/status/500/10"), INTERNET_ERROR_HTTP_STATUS},
        {"HTTP 206 from byte 5 without a Range", Servers().Http("/range/unasked.bin?unasked=5"),
         INTERNET_ERROR_HTTP_STATUS},
        {"redirect to a local file", Servers().Http("/redirect?to=file:///etc/passwd"), 0},
        {"redirect to ftp", Servers().Http("/redirect?to=" + Servers().Ftp("/x")), 0},
        {"unknown host", "http://no-such-host.invalid/a.zip", 0},
        {"nothing listens", "http://127.0.0.1:" + std::to_string(testsrv::UnusedPort()) + "/a", 0},
        {"missing FTP file", Servers().Ftp("/no-such-file.bin"), 0},
        {"scheme not served", "mailto:someone@example.invalid", 0},
        {"no scheme", "127.0.0.1/a.zip", 0},
    };
    for (const Case& c : cases) {
        try {
            Open(c.url);
            ADD_FAILURE() << c.what << ": " << c.url << " opened";
        } catch (const CInternetException& e) {
            if (c.code != 0) {
                EXPECT_EQ(e.m_dwError, c.code) << c.what << ": " << e.m_strText;
            }
            EXPECT_FALSE(e.GetErrorMessage().empty()) << c.what;
        } catch (const std::exception& e) {
            ADD_FAILURE() << c.what << ": wrong exception " << e.what();
        }
    }
}

TEST_F(CurlInternetTest, RedirectFollowedButNameFromTheGivenUrl) {
    std::string want = testsrv::Pattern(3000, 7);
    std::string target = Servers().Serve("target.bin", want);
    auto f = Open(Servers().Http("/redirect?to=" + target));
    EXPECT_TRUE(testsrv::ReadLikeDownload(*f) == want);
    // The query stays in the path the name is taken from.
    EXPECT_EQ(f->GetFileName(), "target.bin");
    auto g = Open(Servers().Http("/status/200/5?x=1"));
    EXPECT_EQ(g->GetFileName(), "5?x=1");
}

TEST_F(CurlInternetTest, FileUrlIsReadFromDiskByteForByte) {
    testsrv::TempDir dir;
    std::string want = "a\r\nb\nc\r\r\n" + testsrv::Pattern(300000, 3);
    testsrv::WriteBytes(dir / "local file.bin", want);
    auto f = Open("file://" + dir.path() + "/local%20file.bin");
    EXPECT_EQ(f->QueryDataAvailable(), want.size());
    EXPECT_TRUE(testsrv::ReadLikeDownload(*f) == want);
    EXPECT_EQ(f->GetFileName(), "local%20file.bin");
    EXPECT_THROW(Open("file://" + dir.path() + "/missing.bin"), CFileException);
}

TEST_F(CurlInternetTest, BytesAvailableIsWhatIsBuffered) {
    std::string url = Servers().Serve("avail.bin", testsrv::Pattern(1024));
    auto f = Open(url);
    char block[1024];
    EXPECT_EQ(f->Read(block, sizeof block), 1024u);
    EXPECT_EQ(f->QueryDataAvailable(), 0u)
        << "a resource the first read takes whole leaves nothing";
}

// The small ones arrive with their end in one read: the open must still hand out their bytes
// first and fail only the read after them.
TEST_F(CurlInternetTest, BrokenBodiesFailTheReadAfterTheBytesThatArrived) {
    for (const std::string path :
         {"/short/200000", "/close-mid/200000", "/short/2100", "/close-mid/4000"}) {
        auto f = Open(Servers().Http(path));
        std::string got;
        char block[1024];
        try {
            while (size_t n = f->Read(block, sizeof block)) got.append(block, n);
            ADD_FAILURE() << path << ": read to a normal end with " << got.size() << " bytes";
        } catch (const CInternetException& e) {
            EXPECT_FALSE(e.m_strText.empty()) << path;
        }
        const bool shortBody = path.starts_with("/short/");
        const size_t n = std::stoul(path.substr(path.rfind('/') + 1));
        std::string sent = testsrv::ServerPattern(shortBody ? n - 100 : n / 2);
        EXPECT_TRUE(got == sent) << path << ": got " << got.size() << " bytes, sent "
                                 << sent.size();
    }
}

TEST_F(CurlInternetTest, SilentServerEndsTheReadAfterTheStallLimit) {
    m_limits.stallTimeoutMs = 400;
    auto f = Open(Servers().Http("/slow/4096/3000"));
    char block[1024];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f->Read(block, sizeof block), 1024u);
    EXPECT_THROW(f->Read(block, sizeof block), CInternetException);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
}

}  // namespace
