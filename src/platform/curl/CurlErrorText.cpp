// The wording of this layer's failures: the Japanese texts chosen for libcurl's errors, and every
// exception the layer throws with its English text.
#include "platform/curl/CurlErrorText.h"

#include <curl/curl.h>

#include <algorithm>
#include <optional>

#include "platform/Internet.h"
#include "resources/Strings.h"
#include "resources/Text.h"

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

// "HTTP 503 Service Unavailable", or without the phrase when the server sent none. The phrase is
// the server's own bytes: shown as text, never obeyed.
std::string StatusReason(long status, const std::string& reasonPhrase) {
    std::string text = "HTTP " + std::to_string(status);
    if (!reasonPhrase.empty()) text += " " + text::ShownServerText(reasonPhrase);
    return text;
}

// The status failure of an open, with what the batch needs to try it again.
[[noreturn]] void ThrowStatus(std::string english, long status, const std::string& reasonPhrase,
                              uint32_t retryAfter) {
    CInternetException e(INTERNET_ERROR_HTTP_STATUS, std::move(english));
    e.m_strReason = StatusReason(status, reasonPhrase);
    e.m_bMayPass = HttpStatusMayPass(status);
    e.m_nRetryAfter = retryAfter;
    throw e;
}

}  // namespace

std::string ErrorBoxText(int code, const ErrorDetail& detail, const std::string& english) {
    std::optional<Sid> own = OwnText(code, detail);
    if (!own) return text::ShownServerText(english);
    return FormatStr(Sid::NetErrorWithLibraryText, {Str(*own), text::ShownServerText(english)});
}

std::string ErrorReasonText(int code, const ErrorDetail& detail, const std::string& english) {
    std::optional<Sid> own = OwnText(code, detail);
    return own ? Str(*own) : text::ShownServerText(english);
}

bool CurlErrorMayPass(int code) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_COULDNT_CONNECT:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
            return true;
        default:
            return false;
    }
}

bool HttpStatusMayPass(long status) {
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 ||
           status == 504;
}

void ThrowCurl(CURLcode code, const char* errorBuffer, CURL* easy,
               const std::string& reasonPhrase) {
    std::string english = (errorBuffer && *errorBuffer) ? errorBuffer : curl_easy_strerror(code);
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_off_t retryAfter = 0;
        if (easy) {
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retryAfter);
        }
        ThrowStatus(text::ShownServerText(english), status, reasonPhrase,
                    static_cast<uint32_t>(std::clamp<curl_off_t>(retryAfter, 0, UINT32_MAX)));
    }
    ErrorDetail detail;
    if (easy) {
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &detail.sslVerifyResult);
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &detail.proxyConnectCode);
    }
    CInternetException e(static_cast<uint32_t>(code), ErrorBoxText(code, detail, english));
    e.m_strReason = ErrorReasonText(code, detail, english);
    e.m_bMayPass = CurlErrorMayPass(code);
    throw e;
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

void ThrowOtherStatus(long status, const std::string& reasonPhrase) {
    ThrowStatus("HTTP status " + std::to_string(status) + " is not the resource", status,
                reasonPhrase, 0);
}

void ThrowStalled(long stallTimeoutMs) {
    std::string english =
        "No data received for " + std::to_string(stallTimeoutMs / 1000) + " seconds";
    CInternetException e(CURLE_OPERATION_TIMEDOUT,
                         ErrorBoxText(CURLE_OPERATION_TIMEDOUT, {}, english));
    e.m_strReason = Str(Sid::NetTimedOut);
    e.m_bMayPass = true;
    throw e;
}

void ThrowCrawling(long windowMs, long floorBytesPerSec) {
    std::string english = "Less than " + std::to_string(floorBytesPerSec) +
                          " bytes per second received over " + std::to_string(windowMs / 1000) +
                          " seconds";
    CInternetException e(CURLE_OPERATION_TIMEDOUT,
                         FormatStr(Sid::NetErrorWithLibraryText, {Str(Sid::NetCrawling), english}));
    e.m_strReason = Str(Sid::NetCrawling);
    e.m_bMayPass = true;
    throw e;
}

}  // namespace curlnet
