// The internet client over libcurl and its sessions: http, https, ftp and gopher through the
// multi interface as a pull reader (curl is driven only while the reader's buffer is empty, so
// memory stays flat whatever the size of the resource); file: URLs are read straight from disk.
// A session splits the URL text (CurlUrl), chooses the reader (CurlUrlFile, LocalUrlFile) and
// turns a stored validator into the plan of a continued download (CurlResumeCheck).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Internet.h"

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
    // The crawl floor: under this many bytes a second, averaged over the last crawlWindowMs
    // of waiting for data, ends the transfer as a stall does. 0 turns it off.
    long crawlWindowMs = 100000;
    long crawlFloorBytesPerSec = 1024;
    // Unread bytes above this pause the transfer. Pausing is dear (curl keeps a copy of the
    // held data and the socket backs up), so the budget is large enough that a full-speed
    // loopback transfer seldom pauses, and small enough to keep memory flat (about 4 MiB).
    size_t bufferBytes = 4 << 20;
    long receiveChunkBytes = 256 * 1024;  // CURLOPT_BUFFERSIZE: bytes per socket read
};
// The limits used by files opened from now on. Not thread-safe (the program has one thread).
Limits& CurrentLimits();

}  // namespace curlnet
