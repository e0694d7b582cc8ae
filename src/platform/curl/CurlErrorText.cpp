#include "platform/curl/CurlErrorText.h"

#include <curl/curl.h>

#include <optional>

#include "resources/Strings.h"

namespace curlnet {

namespace {

// X509 verification results that have a wording of their own (OpenSSL's numbering, which
// libcurl hands out unchanged).
constexpr long kX509CertHasExpired = 10;
constexpr long kX509HostnameMismatch = 62;
constexpr long kX509Ok = 0;

std::optional<Sid> OwnText(int code, const ErrorDetail& d) {
    if (d.proxyConnectCode >= 300) return Sid::NetProxyRefused;
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return Sid::NetHostNotFound;
        case CURLE_COULDNT_RESOLVE_PROXY:
            return Sid::NetProxyNotFound;
        case CURLE_COULDNT_CONNECT:
            return Sid::NetConnectRefused;
        case CURLE_OPERATION_TIMEDOUT:
            return Sid::NetTimedOut;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            return Sid::NetTransferCut;
        case CURLE_PEER_FAILED_VERIFICATION:
            // libcurl checks the host name itself after the chain verified (result 0).
            if (d.sslVerifyResult == kX509CertHasExpired) return Sid::NetCertExpired;
            if (d.sslVerifyResult == kX509HostnameMismatch || d.sslVerifyResult == kX509Ok)
                return Sid::NetCertNameMismatch;
            return Sid::NetCertUntrusted;
        case CURLE_TOO_MANY_REDIRECTS:
            return Sid::NetTooManyRedirects;
        case CURLE_LOGIN_DENIED:
            return Sid::NetLoginRefused;
        case CURLE_REMOTE_FILE_NOT_FOUND:
            return Sid::NetFtpFileNotFound;
        case CURLE_PROXY:
            return Sid::NetProxyRefused;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string ErrorBoxText(int code, const ErrorDetail& detail, const std::string& english) {
    std::optional<Sid> own = OwnText(code, detail);
    if (!own) return english;
    return FormatStr(Sid::NetErrorWithLibraryText, {Str(*own), english});
}

}  // namespace curlnet
