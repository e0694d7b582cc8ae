// Every text this layer words for a failure, in one place: the error box's wording of libcurl
// errors (the program's own Japanese for the errors a user meets, with libcurl's English text
// after it in brackets so that a report can still be searched for; any other error keeps the
// English text alone), and the exceptions the layer throws with their English texts.
#pragma once

#include <curl/curl.h>

#include <string>

namespace curlnet {

// What libcurl tells beyond the error code; 0 when unknown.
struct ErrorDetail {
    long sslVerifyResult = 0;   // CURLINFO_SSL_VERIFYRESULT (an X509_V_ERR_* value)
    long proxyConnectCode = 0;  // CURLINFO_HTTP_CONNECTCODE: the proxy's reply to CONNECT
};

// `code` is a CURLcode; `english` is libcurl's text, which may quote a server's reply: it is
// taken through text::ShownServerText. Returns CP932.
std::string ErrorBoxText(int code, const ErrorDetail& detail, const std::string& english);
// The run log's reason for `code`: the box's Japanese words alone, else `english` (shown as in
// ErrorBoxText). CP932.
std::string ErrorReasonText(int code, const ErrorDetail& detail, const std::string& english);
// Whether a failure with this CURLcode may pass: a timeout or stall, a refused connection, a
// reset or a body cut short. Other failures (names, certificates, logins) stay as they are.
bool CurlErrorMayPass(int code);
// Whether a failed open with this final HTTP status may pass: 408, 429, 500, 502, 503, 504.
bool HttpStatusMayPass(long status);

// The exceptions. Each throws CInternetException with the code and text named. A text that
// comes from curl or a server (its error buffer, a reason phrase) goes through
// text::ShownServerText before it becomes part of an exception's text or reason.

// A failed transfer: the error buffer's text, else curl's text for the code, worded by
// ErrorBoxText; an HTTP status of 400 or more throws INTERNET_ERROR_HTTP_STATUS instead, with
// the status, `reasonPhrase` (the status line's, may be empty) and the Retry-After. `easy` (may
// be null) tells the details that choose the wording of the box.
[[noreturn]] void ThrowCurl(CURLcode code, const char* errorBuffer, CURL* easy,
                            const std::string& reasonPhrase = {});
// curl's own text for `code`, unworded: failures of the library itself (no memory, no handle).
[[noreturn]] void ThrowLibrary(CURLcode code);
// A failure of the multi interface, as CURLE_FAILED_INIT.
[[noreturn]] void ThrowMulti(CURLMcode code);
// A URL text that curl's parser refused, as CURLE_URL_MALFORMAT.
[[noreturn]] void ThrowUrl(CURLUcode code);
// A URL text that is not CP932, as CURLE_URL_MALFORMAT.
[[noreturn]] void ThrowUrlNotCp932();
// A scheme this layer does not fetch (`scheme` as curl split it).
[[noreturn]] void ThrowUnsupportedScheme(const std::string& scheme);
// A read of a file that was closed.
[[noreturn]] void ThrowClosed();
// A rewind whose second fetch does not start where the first did.
[[noreturn]] void ThrowResourceChanged();
// An open answered with a final HTTP status outside 2xx that curl let by.
[[noreturn]] void ThrowOtherStatus(long status, const std::string& reasonPhrase = {});
// No byte for `stallTimeoutMs` during an open or a read, worded as a timeout.
[[noreturn]] void ThrowStalled(long stallTimeoutMs);
// Under `floorBytesPerSec` on average over the last `windowMs` of waiting for data.
[[noreturn]] void ThrowCrawling(long windowMs, long floorBytesPerSec);

}  // namespace curlnet
