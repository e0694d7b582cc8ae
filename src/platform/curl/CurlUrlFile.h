// The pull reader over libcurl's push callbacks: a URL fetched through the multi interface, whose
// Read takes bytes from a buffer that curl's write callback fills. curl is driven only while that
// buffer has nothing unread, and a full buffer pauses the transfer, so memory stays flat whatever
// the size of the resource. Until the first rewind the bytes from byte 0 are kept, so that the
// rewind after the first block costs no second fetch. ReadInto skips the buffer: it hands each
// piece to its sink where curl received it. What a resumed transfer may append is decided by its
// ResumeCheck.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "platform/Internet.h"
#include "platform/curl/CrawlFloor.h"
#include "platform/curl/CurlInternet.h"
#include "platform/curl/CurlResumeCheck.h"
#include "platform/curl/CurlUrl.h"

namespace curlnet {

class CurlUrlFile : public CInternetFile {
  public:
    using WaitHook = CurlInternetClient::WaitHook;

    // Starts the transfer with the session's options and waits until it is open; a plan with an
    // offset asks for the rest first and falls back to the whole resource. Throws
    // CInternetException when no reply opens; a reply that opened and then broke, however
    // soon, is returned open and its failure waits for the read after its bytes. A plan that
    // asks only if changed may leave the file IsUnchanged(), with no data.
    CurlUrlFile(const SessionOptions& options, UrlPtr url, Protocol protocol, std::string fileName,
                WaitHook waitHook, ResumePlan plan);
    ~CurlUrlFile() override;

    size_t Read(void* buf, size_t n) override;
    // A view into the buffer, without a copy; `scratch` is not used.
    std::span<const char> ReadView(char* scratch, size_t n) override;
    // Offers the buffer's unread bytes, then each piece curl receives straight from curl's own
    // buffer, inside the write callback: the sink may pump, but must not call this file. Under
    // a rate cap, and while the bytes from byte 0 are kept, it reads through the buffer.
    bool ReadInto(DataSink& sink) override;
    // While every byte from the start is still in the buffer, hands it out again; otherwise
    // fetches again from the start offset, and throws CInternetException when the data no
    // longer starts there.
    void SeekToBegin() override;
    // The unread bytes in the buffer.
    uint32_t QueryDataAvailable() override;
    std::string GetFileName() const override { return m_strFileName; }
    int64_t GetStartOffset() const override { return m_startOffset; }
    std::string GetValidator() const override { return m_check.Validator(); }
    // HTTP: Content-Length; FTP: the size the server gave; from the start offset on, plus it.
    int64_t GetAnnouncedSize() const override { return m_nAnnounced; }
    bool IsUnchanged() const override { return m_check.Unchanged(); }
    void Close() override { Stop(); }

  private:
    using Clock = std::chrono::steady_clock;

    // Every option of the easy handle but the request's own headers: what it may fetch, how it
    // verifies, where its bytes and headers go, the session's limits.
    void Configure(CURL* e);
    // Creates the handles and runs the transfer until it is open. With `fromOffset`, asks for
    // the bytes from the plan's offset on, and returns false (handles closed) when the answer
    // cannot continue the partial copy; the whole resource is to be fetched then.
    // m_check.DataStart() tells where the data of the open transfer starts.
    bool Start(bool fromOffset);
    void Stop();
    // Under a rate cap: waits (serving the wait hook) until `k` more bytes, at most about an
    // eighth of a second's worth, may be handed out; returns how many.
    size_t Pace(size_t k);
    // Drops the bytes already handed out once none is left unread, unless they are kept for the
    // rewind. Called at the start of the next read or rewind rather than at the end of the
    // last, so that a view stays valid until then.
    void DropHandedOut();
    // Drops the bytes already handed out.
    void Discard();
    // One step of the transfer: resume it if paused, let curl work, and wait for the socket
    // when that produced nothing. Throws CInternetException after a stall, or when the open
    // transfer has fallen under the crawl floor.
    void Drive();
    void DriveOnce();
    // Nothing is unread: false when the transfer ended well, true when more may come (the
    // read's wait then begins, once: `waiting`). Throws what ended it, or when it was closed.
    bool MoreToCome(bool& waiting);
    // Drive() with `sink` taking what arrives while nothing is unread; true when it stopped.
    // Throws what the sink threw.
    bool DriveInto(DataSink& sink);
    // Hands one received piece to m_sink; the write callback's answer.
    size_t Offer(const char* data, size_t n);
    void CollectDone();

    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    size_t OnData(const char* data, size_t n);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
    size_t OnHeader(const char* data, size_t n);

    std::string m_strAgent;
    UrlPtr m_url;  // owned; the easy handle reads it
    bool m_bHttp, m_bFtp;
    std::string m_strFileName;
    Limits m_limits;
    WaitHook m_waitHook;           // may be empty
    Clock::time_point m_lastHook;  // end of the last call of m_waitHook
    ResumeCheck m_check;           // the easy handle holds its address (FTP)
    int64_t m_startOffset = 0;     // DataStart() of the first open; fixed for the file's life

    // The open transfer.
    CURL* m_easy = nullptr;           // owned; null once closed
    CURLM* m_multi = nullptr;         // owned; null once closed
    curl_slist* m_headers = nullptr;  // owned; the request headers the easy handle sends
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    bool m_bOpen = false, m_bDone = false, m_bPaused = false;
    long m_nOtherStatus = 0;  // HTTP: the final status, when it was not 2xx and curl let it by
    CURLcode m_result = CURLE_OK;
    Clock::time_point m_lastProgress;
    uint64_t m_nEvents = 0;          // header lines and data chunks received so far
    uint64_t m_nReceived = 0;        // data bytes received so far
    uint64_t m_nPaced = 0;           // bytes handed out under the rate cap
    Clock::time_point m_paceStart;   // when the first of them was handed out
    CrawlFloor m_crawl;              // fed only while a read waits
    DataSink* m_sink = nullptr;      // not owned; set only during DriveInto
    bool m_bSinkStopped = false;     // m_sink returned false: what comes next goes to m_buf
    std::exception_ptr m_sinkError;  // what m_sink threw inside the callback, for DriveInto
    Clock::duration m_sinkTime{};    // spent in m_sink during the current Drive: not the line's
    std::string m_strReasonPhrase;   // HTTP: the last status line's reason phrase, as sent; the
                                     // wording in CurlErrorText shows it only as text
    int64_t m_nAnnounced = -1;       // GetAnnouncedSize()

    // Received bytes; [m_pos, size) are unread. Until the first rewind the bytes from byte 0
    // stay too, so that the rewind costs nothing.
    std::vector<char> m_buf;
    size_t m_pos = 0;
    bool m_bKeepPrefix = true;
    bool m_bDiscarded = false;  // some byte from the start is no longer in m_buf
};

}  // namespace curlnet
