// The wording of this layer's failures: the Japanese texts chosen for libcurl's errors, and every
// exception the layer throws with its English text.
#include "platform/curl/CurlErrorText.h"

#include <curl/curl.h>

#include <optional>

#include "platform/Internet.h"
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

void ThrowCurl(CURLcode code, const char* errorBuffer, CURL* easy) {
    std::string english = (errorBuffer && *errorBuffer) ? errorBuffer : curl_easy_strerror(code);
    if (code == CURLE_HTTP_RETURNED_ERROR)
        throw CInternetException(INTERNET_ERROR_HTTP_STATUS, english);
    ErrorDetail detail;
    if (easy) {
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &detail.sslVerifyResult);
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &detail.proxyConnectCode);
    }
    throw CInternetException(static_cast<uint32_t>(code), ErrorBoxText(code, detail, english));
}

void ThrowLibrary(CURLcode code) {
    throw CInternetException(static_cast<uint32_t>(code), curl_easy_strerror(code));
}

void ThrowMulti(CURLMcode code) {
    throw CInternetException(CURLE_FAILED_INIT, curl_multi_strerror(code));
}

void ThrowUrl(CURLUcode code) {
    throw CInternetException(static_cast<uint32_t>(CURLE_URL_MALFORMAT),
                             std::string("URL: ") + curl_url_strerror(code));
}

void ThrowUrlNotCp932() {
    throw CInternetException(static_cast<uint32_t>(CURLE_URL_MALFORMAT), "URL: not CP932 text");
}

void ThrowUnsupportedScheme(const std::string& scheme) {
    throw CInternetException(CURLE_UNSUPPORTED_PROTOCOL,
                             "Protocol \"" + scheme + "\" not supported");
}

void ThrowClosed() {
    throw CInternetException(CURLE_FAILED_INIT, "the URL is closed");
}

void ThrowResourceChanged() {
    throw CInternetException(CURLE_RANGE_ERROR,
                             "The resource changed on the server while it was read");
}

void ThrowOtherStatus(long status) {
    throw CInternetException(INTERNET_ERROR_HTTP_STATUS,
                             "HTTP status " + std::to_string(status) + " is not the resource");
}

void ThrowStalled(long stallTimeoutMs) {
    std::string english =
        "No data received for " + std::to_string(stallTimeoutMs / 1000) + " seconds";
    throw CInternetException(CURLE_OPERATION_TIMEDOUT,
                             ErrorBoxText(CURLE_OPERATION_TIMEDOUT, {}, english));
}

}  // namespace curlnet
