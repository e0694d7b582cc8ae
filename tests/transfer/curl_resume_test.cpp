// Continuing a partial copy through the curl layer: a first open gives the validator, a second
// open asks for the rest. Against local servers that honour (or ignore, or botch) ranges, and a
// resource that changes in between. The requests the servers received are checked too, so that
// "resumed" means the server was asked only for the rest.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "platform/curl/CurlValidator.h"
#include "transfer/LocalServers.h"

namespace {

using testsrv::ServerProcess;
using testsrv::Servers;

enum class Change {
    kNone,
    kBytes,         // new bytes of the same size, a later modification time
    kSize,          // new bytes of another size, a later time
    kSizeSameTime,  // new bytes of another size, the old modification time
};

struct Case {
    const char* name;
    const char* scheme;      // http, ftp, gopher, file
    std::string query = "";  // http: options of the server's /range route
    Change change = Change::kNone;
    int64_t offset = 3000;            // bytes of the partial copy
    const char* validator = nullptr;  // replaces the first open's validator
    const char* firstValidator = "";  // the first open's validator starts so ("": empty)
    bool resumed = false;             // the second open starts at `offset`
    const char* asked = "";           // what the second open asked the server
    size_t readBeforeRewind = 1024;   // read so much, rewind, read to the end
    size_t bufferBytes = 4 << 20;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.name;
}

constexpr size_t kSize = 10000;

const Case kCases[] = {
    // HTTP validators, and the requests they lead to.
    {.name = "HttpResumed",
     .scheme = "http",
     .firstValidator = "http 10000 etag \"",
     .resumed = true,
     .asked = "range=3000"},
    {.name = "HttpChangedGivesTheNewResourceWhole",
     .scheme = "http",
     .change = Change::kBytes,
     .firstValidator = "http 10000 etag \"",
     .asked = "range=3000"},
    {.name = "HttpRangesIgnoredGivesTheWholeResource",
     .scheme = "http",
     .query = "?ranges=ignore",
     .firstValidator = "http 10000 etag \"",
     .asked = "range=3000"},
    {.name = "HttpPartStartingElsewhereIsRefetchedWhole",
     .scheme = "http",
     .query = "?start=2000",
     .firstValidator = "http 10000 etag \"",
     .asked = "range=3000,whole"},
    {.name = "HttpPartEndingEarlyIsRefetchedWhole",
     .scheme = "http",
     .query = "?last=5000",
     .firstValidator = "http 10000 etag \"",
     .asked = "range=3000,whole"},
    {.name = "HttpNotSatisfiableIsRefetchedWhole",
     .scheme = "http",
     .offset = 10000,
     .firstValidator = "http 10000 etag \"",
     .asked = "range=10000,whole"},
    {.name = "HttpDateResumed",
     .scheme = "http",
     .query = "?validators=date",
     .firstValidator = "http 10000 date ",
     .resumed = true,
     .asked = "range=3000"},
    {.name = "HttpDateChanged",
     .scheme = "http",
     .query = "?validators=date",
     .change = Change::kBytes,
     .firstValidator = "http 10000 date ",
     .asked = "range=3000"},
    {.name = "HttpSameDateOtherLengthIsRefetchedWhole",
     .scheme = "http",
     .query = "?validators=date",
     .change = Change::kSizeSameTime,
     .firstValidator = "http 10000 date ",
     .asked = "range=3000,whole"},
    {.name = "HttpWeakEtagFallsBackToTheDate",
     .scheme = "http",
     .query = "?validators=weak,date",
     .firstValidator = "http 10000 date ",
     .resumed = true,
     .asked = "range=3000"},
    {.name = "HttpWeakEtagAloneGivesNoValidator",
     .scheme = "http",
     .query = "?validators=weak",
     .asked = "whole"},
    {.name = "HttpNoValidator", .scheme = "http", .query = "?validators=none", .asked = "whole"},
    {.name = "HttpResumedRewindRefetchesTheRest",
     .scheme = "http",
     .firstValidator = "http 10000 etag \"",
     .resumed = true,
     .asked = "range=3000,range=3000",
     .readBeforeRewind = 6000,
     .bufferBytes = 2048},
    // Validators the layer never wrote: nothing to compare, so nothing is asked but the whole.
    {.name = "HttpGivenAnFtpValidator",
     .scheme = "http",
     .validator = "ftp 10000 1700000000",
     .firstValidator = "http 10000 etag \"",
     .asked = "whole"},
    {.name = "HttpGivenAValidatorWithALineBreak",
     .scheme = "http",
     .validator = "http 10000 etag \"a\"\r\nX-Injected: 1",
     .firstValidator = "http 10000 etag \"",
     .asked = "whole"},
    // FTP: size and time are compared before REST.
    {.name = "FtpResumed",
     .scheme = "ftp",
     .firstValidator = "ftp 10000 ",
     .resumed = true,
     .asked = "REST 3000,RETR"},
    {.name = "FtpNewTimeGivesTheWholeFile",
     .scheme = "ftp",
     .change = Change::kBytes,
     .firstValidator = "ftp 10000 ",
     .asked = "RETR"},
    {.name = "FtpNewSizeGivesTheWholeFile",
     .scheme = "ftp",
     .change = Change::kSizeSameTime,
     .firstValidator = "ftp 10000 ",
     .asked = "RETR"},
    {.name = "FtpAlreadyCompleteLeavesNothingToRead",
     .scheme = "ftp",
     .offset = 10000,
     .firstValidator = "ftp 10000 ",
     .resumed = true,
     .asked = ""},
    {.name = "FtpGivenAnHttpValidator",
     .scheme = "ftp",
     .validator = "http 10000 etag \"a\"",
     .firstValidator = "ftp 10000 ",
     .asked = "RETR"},
    // Always whole.
    {.name = "GopherFromByteZero",
     .scheme = "gopher",
     .validator = "http 10000 etag \"a\"",
     .asked = "-"},
    {.name = "FileFromByteZero",
     .scheme = "file",
     .validator = "http 10000 etag \"a\"",
     .asked = "-"},
};

class CurlResumeTest : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() {
        testsrv::ClearProxyEnvironment();
        const std::string& root = Servers().root.path();
        s_ftpLog = new testsrv::TempDir;
        s_ftp = new ServerProcess("ftp_server.py", {root, "--command-log", *s_ftpLog / "log"});
        s_gopher = new ServerProcess("gopher_server.py", {root});
    }
    static void TearDownTestSuite() {
        delete s_gopher;
        delete s_ftp;
        delete s_ftpLog;
    }

    static std::string Url(const Case& c, const std::string& name) {
        const std::string port = [&] {
            if (c.scheme == std::string("ftp")) return std::to_string(s_ftp->port());
            if (c.scheme == std::string("gopher")) return std::to_string(s_gopher->port());
            return std::to_string(Servers().http.port());
        }();
        if (c.scheme == std::string("http"))
            return "http://127.0.0.1:" + port + "/range/" + name + c.query;
        if (c.scheme == std::string("ftp")) return "ftp://127.0.0.1:" + port + "/" + name;
        if (c.scheme == std::string("gopher")) return "gopher://127.0.0.1:" + port + "/9" + name;
        return "file://" + Servers().root / name;
    }

    // HTTP: one token per request after the first `skip`: "range=N" for a Range with its
    // If-Range, "whole" for none. FTP: the REST and RETR commands after byte `skip` of the log.
    std::string Asked(const Case& c, const std::string& name, size_t skip) {
        std::string out;
        auto add = [&](const std::string& token) { out += (out.empty() ? "" : ",") + token; };
        if (c.scheme == std::string("http")) {
            auto f =
                m_client.OpenSession({"log", {}})->OpenURL(Servers().Http("/requests/" + name));
            std::string log;
            char block[4096];
            while (size_t n = f->Read(block, sizeof block)) log.append(block, n);
            size_t at = 0;
            for (size_t i = 0; at < log.size(); ++i) {
                size_t end = log.find("\r\n\r\n", at);
                std::string request = log.substr(at, end - at);
                at = end + 4;
                if (i < skip) continue;
                size_t range = request.find("\r\nRange: bytes=");
                if (range == std::string::npos) {
                    add(request.find("If-Range") == std::string::npos ? "whole" : "if-range alone");
                    continue;
                }
                std::string from =
                    request.substr(range + 15, request.find("\r\n", range + 2) - range - 15);
                bool ifRange = request.find("\r\nIf-Range: ") != std::string::npos;
                add((ifRange ? "range=" : "range without If-Range=") +
                    from.substr(0, from.find('-')));
            }
            return out;
        }
        if (c.scheme != std::string("ftp")) return "-";
        std::istringstream log(testsrv::ReadBytes(*s_ftpLog / "log").substr(skip));
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("REST ", 0) == 0) add(line);
            if (line.rfind("RETR ", 0) == 0) add("RETR");
        }
        return out;
    }

    size_t FtpLogSize() { return testsrv::ReadBytes(*s_ftpLog / "log").size(); }

    static testsrv::TempDir* s_ftpLog;
    static ServerProcess* s_ftp;
    static ServerProcess* s_gopher;
    CurlInternetClient m_client;
};

testsrv::TempDir* CurlResumeTest::s_ftpLog = nullptr;
ServerProcess* CurlResumeTest::s_ftp = nullptr;
ServerProcess* CurlResumeTest::s_gopher = nullptr;

TEST_P(CurlResumeTest, SecondOpenContinuesOnlyTheSameVersion) {
    const Case& c = GetParam();
    const std::string name = std::string("resume-") + c.name + ".bin";
    const std::string path = Servers().root / name;
    const std::string before = testsrv::Pattern(kSize, 11);
    testsrv::WriteBytes(path, before);
    const auto firstTime = std::filesystem::last_write_time(path) - std::chrono::seconds(100);
    std::filesystem::last_write_time(path, firstTime);
    const std::string url = Url(c, name);
    const std::string trace = c.name + std::string(" ") + url;

    // The first open: the validator the partial copy keeps.
    auto session = m_client.OpenSession({"My Session", {}});
    auto first = session->OpenURL(url);
    const std::string validator = first->GetValidator();
    EXPECT_EQ(first->GetStartOffset(), 0) << trace;
    EXPECT_EQ(session->FileNameOf(url), first->GetFileName()) << trace;
    first->Close();
    if (*c.firstValidator) {
        EXPECT_EQ(validator.rfind(c.firstValidator, 0), 0u)
            << trace << "\n  got validator '" << validator << "'\n  expected a start of '"
            << c.firstValidator << "'";
    } else {
        EXPECT_EQ(validator, "") << trace;
    }

    std::string after = before;
    if (c.change != Change::kNone) {
        after = testsrv::Pattern(c.change == Change::kBytes ? kSize : kSize + 777, 12);
        testsrv::WriteBytes(path, after);
        std::filesystem::last_write_time(path, c.change == Change::kSizeSameTime
                                                   ? firstTime
                                                   : firstTime + std::chrono::hours(1));
    }

    // The second open, asking for the rest.
    InternetLimits limits;
    limits.bufferBytes = c.bufferBytes;
    limits.receiveChunkBytes = 1024;
    session = m_client.OpenSession({"My Session", limits});
    const size_t skip = c.scheme == std::string("ftp") ? FtpLogSize() : 1;
    const ResumeFrom resume{c.offset, c.validator ? c.validator : validator};
    auto second = session->OpenURLFrom(url, resume);
    const std::string got = testsrv::ReadLikeDownload(*second, c.readBeforeRewind);
    const int64_t start = second->GetStartOffset();
    const std::string secondValidator = second->GetValidator();
    second->Close();

    const int64_t wantStart = c.resumed ? c.offset : 0;
    const std::string want = c.resumed ? before.substr(static_cast<size_t>(c.offset)) : after;
    EXPECT_EQ(start, wantStart) << trace << "\n  input: offset " << c.offset << ", validator '"
                                << resume.validator << "'";
    EXPECT_TRUE(got == want) << trace << "\n  got " << got.size() << " bytes, expected "
                             << want.size() << " (" << (c.resumed ? "the rest" : "whole")
                             << ", same size: " << (got.size() == want.size()) << ")";
    EXPECT_EQ(Asked(c, name, skip), c.asked) << trace;
    if (c.change == Change::kNone || validator.empty()) {
        EXPECT_EQ(secondValidator, validator) << trace << ": the same version";
    } else {
        EXPECT_NE(secondValidator, validator) << trace << ": a new version";
        EXPECT_FALSE(secondValidator.empty()) << trace;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CurlResumeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Validators come back from a file's attributes, which anyone may have written: only texts this
// layer makes are taken, and nothing that could end a request header.
TEST(CurlValidatorText, OnlyWellFormedTextsAreTaken) {
    auto http = [](std::string_view t) -> std::string {
        auto v = curlnet::ParseHttpValidator(t);
        if (!v) return "refused";
        return "if-range " + curlnet::IfRangeValue(*v) + " length " + std::to_string(v->length);
    };
    auto ftp = [](std::string_view t) -> std::string {
        auto v = curlnet::ParseFtpValidator(t);
        return v ? "size " + std::to_string(v->size) + " mtime " + std::to_string(v->mtime)
                 : "refused";
    };
    auto range = [](std::string_view t) -> std::string {
        auto r = curlnet::ParseContentRange(t);
        return r ? std::to_string(r->first) + "-" + std::to_string(r->last) + "/" +
                       std::to_string(r->total)
                 : "refused";
    };
    struct Row {
        std::string (*parse)(std::string_view);
        std::string input, want;
    };
    const Row rows[] = {
        {http, "http 10000 etag \"abc\"", "if-range \"abc\" length 10000"},
        {http, "http - date Mon, 07 Dec 2026 21:00:00 GMT",
         "if-range Mon, 07 Dec 2026 21:00:00 GMT length -1"},
        {http, "http 10000 etag W/\"abc\"", "refused"},
        {http, "http 10000 etag \"a\"\r\nX: 1", "refused"},
        {http, "http 10000 date Mon,\n07", "refused"},
        {http, "http 10000 date ", "refused"},
        {http, "http -5 etag \"a\"", "refused"},
        {http, "ftp 10000 1700000000", "refused"},
        {ftp, "ftp 10000 1700000000", "size 10000 mtime 1700000000"},
        {ftp, "ftp 10000", "refused"},
        {ftp, "ftp 10000 -1", "refused"},
        {ftp, "http 10000 etag \"a\"", "refused"},
        {range, "bytes 3000-9999/10000", "3000-9999/10000"},
        {range, "bytes 3000-9999/*", "3000-9999/-1"},
        {range, "bytes */10000", "refused"},
        {range, "bytes 5-4/10", "refused"},
        {range, "bytes 0-9/9", "refused"},
        {range, "items 0-1/2", "refused"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.parse(r.input), r.want) << "input: '" << r.input << "'";
    }
}

TEST(CurlFileNameOf, NoUrlNoName) {
    CurlInternetClient client;
    auto session = client.OpenSession({"My Session", {}});
    EXPECT_EQ(session->FileNameOf("http://127.0.0.1:1/dir/a%20b.zip?x=1"), "a%20b.zip?x=1");
    EXPECT_EQ(session->FileNameOf("no scheme"), "");
}

}  // namespace
