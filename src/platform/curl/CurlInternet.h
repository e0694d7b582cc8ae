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
    // Never fails with libcurl; the session and its files keep a copy of `options`.
    std::unique_ptr<CInternetSession> OpenSession(const SessionOptions& options) override;

    // Called about every 25 ms while a transfer waits for the network (opening a URL, reading,
    // rewinding), so that the caller's window can stay alive meanwhile. The hook must neither
    // throw nor use this client's sessions or files. Sessions opened from now on use it.
    using WaitHook = std::function<void()>;
    void SetWaitHook(WaitHook hook) { m_waitHook = std::move(hook); }

  private:
    WaitHook m_waitHook;  // may be empty
};

namespace curlnet {
using Limits = InternetLimits;
}  // namespace curlnet
