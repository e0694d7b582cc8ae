// The error box's wording of libcurl failures: ours plus libcurl's English, or English alone.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include "fake/TestText.h"
#include "platform/curl/CurlErrorText.h"

namespace {

struct ErrorTextCase {
    const char* name;
    int code;
    curlnet::ErrorDetail detail;
    const char* english;
    const char* expected;  // UTF-8
};

class ErrorText : public testing::TestWithParam<ErrorTextCase> {};

TEST_P(ErrorText, BoxTextReadsJapaneseAndKeepsTheLibrarysText) {
    const ErrorTextCase& c = GetParam();
    std::string got = curlnet::ErrorBoxText(c.code, c.detail, c.english);
    EXPECT_EQ(got, Sj(c.expected)) << "code " << c.code << " english \"" << c.english
                                   << "\"\n got: " << Readable(got) << "\nwant: " << c.expected;
}

// Library texts past the cut: 199 bytes, then a kanji that does not fit.
const std::string kLong = std::string(199, 'x') + "日本", kCut(199, 'x');

const ErrorTextCase kCases[] = {
    {"HostNotFound",
     CURLE_COULDNT_RESOLVE_HOST,
     {},
     "Could not resolve host: nowhere",
     "ｻｰﾊﾞｰが見つかりませんでした。URL のﾎｽﾄ名を確かめてください。 (Could not resolve host: "
     "nowhere)"},
    {"ProxyNotFound",
     CURLE_COULDNT_RESOLVE_PROXY,
     {},
     "Could not resolve proxy: p",
     "ﾌﾟﾛｷｼ ｻｰﾊﾞｰが見つかりませんでした。ﾌﾟﾛｷｼの設定を確かめてください。 (Could not resolve proxy: "
     "p)"},
    {"ConnectionRefused",
     CURLE_COULDNT_CONNECT,
     {},
     "Failed to connect",
     "ｻｰﾊﾞｰに接続できませんでした。接続が拒否されました。 (Failed to connect)"},
    {"TimedOut",
     CURLE_OPERATION_TIMEDOUT,
     {},
     "No data received for 60 seconds",
     "ｻｰﾊﾞｰからの応答がないまま時間切れになりました。 (No data received for 60 seconds)"},
    {"PartialFile",
     CURLE_PARTIAL_FILE,
     {},
     "transfer closed with 90000 bytes remaining to read",
     "転送が途中で切れました。ﾌｧｲﾙは最後まで届いていません。 (transfer closed with 90000 bytes "
     "remaining to read)"},
    {"ConnectionReset",
     CURLE_RECV_ERROR,
     {},
     "Recv failure: Connection reset by peer",
     "転送が途中で切れました。ﾌｧｲﾙは最後まで届いていません。 (Recv failure: Connection reset by "
     "peer)"},
    {"CertUntrusted",
     CURLE_PEER_FAILED_VERIFICATION,
     {18, 0},
     "SSL certificate problem: self-signed",
     "ｻｰﾊﾞｰの証明書を信頼できません。発行元が確認できませんでした。 (SSL certificate problem: "
     "self-signed)"},
    {"CertNameMismatch",
     CURLE_PEER_FAILED_VERIFICATION,
     {0, 0},
     "no alternative subject name",
     "ｻｰﾊﾞｰの証明書の名前が接続先のﾎｽﾄ名と一致しません。 (no alternative subject name)"},
    {"CertExpired",
     CURLE_PEER_FAILED_VERIFICATION,
     {10, 0},
     "certificate has expired",
     "ｻｰﾊﾞｰの証明書の有効期限が切れています。 (certificate has expired)"},
    {"TooManyRedirects",
     CURLE_TOO_MANY_REDIRECTS,
     {},
     "Maximum (10) redirects followed",
     "転送先の指定 (ﾘﾀﾞｲﾚｸﾄ) が多すぎます。 (Maximum (10) redirects followed)"},
    {"LoginRefused",
     CURLE_LOGIN_DENIED,
     {},
     "Access denied: 530",
     "ｻｰﾊﾞｰがﾛｸﾞｲﾝを拒否しました。ﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞを確かめてください。 (Access denied: 530)"},
    {"FtpFileNotFound",
     CURLE_REMOTE_FILE_NOT_FOUND,
     {},
     "Server denied you to change to the given directory",
     "FTP ｻｰﾊﾞｰにそのﾌｧｲﾙがありません。 (Server denied you to change to the given directory)"},
    {"ProxyRefusedTunnel",
     CURLE_RECV_ERROR,
     {0, 403},
     "CONNECT tunnel failed, response 403",
     "ﾌﾟﾛｷｼ ｻｰﾊﾞｰが接続を拒否しました。 (CONNECT tunnel failed, response 403)"},
    {"ProxyHandshake",
     CURLE_PROXY,
     {},
     "SOCKS: connection refused",
     "ﾌﾟﾛｷｼ ｻｰﾊﾞｰが接続を拒否しました。 (SOCKS: connection refused)"},
    {"UnlistedKeepsEnglish", CURLE_SSL_CONNECT_ERROR, {}, "SSL connect error", "SSL connect error"},
    {"UnlistedWriteError", CURLE_WRITE_ERROR, {}, "Failed writing body", "Failed writing body"},
    // The library's text may quote a server: shown as text, never obeyed.
    {"Controls", CURLE_SEND_ERROR, {}, "a\x1b[2J\x07\rb", "a [2J  b"},
    {"NotCp932", CURLE_SEND_ERROR, {}, "a\x85\x40z\x80\x82", "a?z??"},
    {"Utf8C1AndNoCp932Form", CURLE_SEND_ERROR, {}, "\xC2\x9Bx caf\xC3\xA9", " x caf?"},
    {"Overlong", CURLE_SEND_ERROR, {}, kLong.c_str(), kCut.c_str()},
};

INSTANTIATE_TEST_SUITE_P(Curl, ErrorText, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
