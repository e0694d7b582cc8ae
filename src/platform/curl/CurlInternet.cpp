// Placeholder until the curl layer lands: every session fails to open.
#include "platform/curl/CurlInternet.h"

CurlInternetClient::CurlInternetClient() = default;
CurlInternetClient::~CurlInternetClient() = default;

std::unique_ptr<CInternetSession> CurlInternetClient::OpenSession(const std::string&) {
    throw CInternetException(0, "");
}
