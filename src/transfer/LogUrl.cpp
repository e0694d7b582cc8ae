#include "transfer/LogUrl.h"

#include "resources/Strings.h"
#include "transfer/UrlCredentials.h"

std::string UrlForLog(const std::string& url) {
    const auto info = UserInfoOfTypedUrl(url, true);
    if (!info || !info->HasPassword()) return url;
    return url.substr(0, info->colon + 1) + Str(Sid::LogHiddenPassword) + url.substr(info->at);
}
