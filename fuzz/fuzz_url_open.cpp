// The first step of opening a URL, on any bytes a list line can hold: canonicalise and split the
// text with curl's URL parser, pick the scheme and take the file name. Only the parse runs here;
// nothing is opened, so no input can reach the network or the disk.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Exceptions.h"
#include "platform/curl/CurlInternet.h"
#include "platform/curl/CurlUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CurlInternetClient client;  // initialises libcurl once
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        curlnet::UrlParts parts = curlnet::SplitUrl(text);
        if (parts.url == nullptr) abort();
        if (parts.fileName.size() > 255) abort();
        for (char c : parts.scheme)
            if (c >= 'A' && c <= 'Z') abort();  // schemes are compared in lower case
        if (parts.scheme != "file" && !parts.localPath.empty()) abort();
    } catch (const CInternetException& e) {
        if (e.GetErrorMessage().empty()) abort();  // a refusal must say why
    }
    return 0;
}
