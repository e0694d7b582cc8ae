// The internet client over libcurl.
#pragma once

#include <memory>
#include <string>

#include "platform/Internet.h"

class CurlInternetClient : public InternetClient {
public:
    CurlInternetClient();
    ~CurlInternetClient() override;
    std::unique_ptr<CInternetSession> OpenSession(const std::string& agent) override;
};
