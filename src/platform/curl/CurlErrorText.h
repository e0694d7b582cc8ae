// The text an error box shows for a libcurl failure: the program's own Japanese wording for the
// errors a user meets, with libcurl's English text after it in brackets so that a report can
// still be searched for; any other error keeps the English text alone.
#pragma once

#include <string>

namespace curlnet {

// What libcurl tells beyond the error code; 0 when unknown.
struct ErrorDetail {
    long sslVerifyResult = 0;   // CURLINFO_SSL_VERIFYRESULT (an X509_V_ERR_* value)
    long proxyConnectCode = 0;  // CURLINFO_HTTP_CONNECTCODE: the proxy's reply to CONNECT
};

// `code` is a CURLcode; `english` is libcurl's text (ASCII, so already CP932). Returns CP932.
std::string ErrorBoxText(int code, const ErrorDetail& detail, const std::string& english);

}  // namespace curlnet
