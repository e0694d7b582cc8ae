// The internet client over libcurl: http, https, ftp and gopher through the multi interface as
// a pull reader (curl is driven only while the reader's buffer is empty, so memory stays flat
// whatever the size of the resource); file: URLs are read straight from disk.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Internet.h"

struct Curl_URL;  // curl's parsed URL (CURLU)

class CurlInternetClient : public InternetClient {
  public:
    // Initialises libcurl once per process.
    CurlInternetClient();
    ~CurlInternetClient() override;
    // Never fails with libcurl; the agent is sent as the User-Agent of every request.
    std::unique_ptr<CInternetSession> OpenSession(const std::string& agent) override;

    // Called about every 25 ms while a transfer waits for the network (opening a URL, reading,
    // rewinding), so that the caller's window can stay alive meanwhile. The hook must neither
    // throw nor use this client's sessions or files. Sessions opened from now on use it.
    using WaitHook = std::function<void()>;
    void SetWaitHook(WaitHook hook) { m_waitHook = std::move(hook); }

  private:
    WaitHook m_waitHook;  // may be empty
};

namespace curlnet {

// Limits of every transfer. Not constants so that tests can shorten the stall limit.
struct Limits {
    long connectTimeoutMs = 30000;
    long stallTimeoutMs = 60000;  // no byte for this long during the open or a read
    // Unread bytes above this pause the transfer. Pausing is dear (curl keeps a copy of the
    // held data and the socket backs up), so the budget is large enough that a full-speed
    // loopback transfer seldom pauses, and small enough to keep memory flat (about 4 MiB).
    size_t bufferBytes = 4 << 20;
    long receiveChunkBytes = 256 * 1024;  // CURLOPT_BUFFERSIZE: bytes per socket read
};
// The limits used by files opened from now on. Not thread-safe (the program has one thread).
Limits& CurrentLimits();

// What opening a URL takes from its text, before any connection is made.
struct UrlParts {
    UrlParts() = default;
    UrlParts(UrlParts&& o) noexcept
        : scheme(std::move(o.scheme)),
          fileName(std::move(o.fileName)),
          localPath(std::move(o.localPath)),
          url(o.url) {
        o.url = nullptr;
    }
    UrlParts& operator=(UrlParts&&) = delete;
    ~UrlParts();
    std::string scheme;       // lower case, as curl hands it out
    std::string fileName;     // FileNameOfUrlPath of the path with its query
    std::string localPath;    // file: only, percent-decoded: the system's bytes of the name
    Curl_URL* url = nullptr;  // owned: the parsed URL handed to the transfer
};
// Canonicalises and splits `text`; touches no network. Throws CInternetException when the text
// is not a URL.
UrlParts SplitUrl(const std::string& text);

}  // namespace curlnet
