// The pull reader over curl's callbacks: the handles, the buffer, pausing and driving the transfer.
#include "platform/curl/CurlUrlFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/curl/CurlErrorText.h"
#include "platform/curl/CurlValidator.h"

namespace curlnet {

namespace {

// How often a blocking wait hands control to the wait hook: well inside the 5 s after which a
// desktop greys a window that does not answer its ping, and often enough to repaint smoothly.
constexpr std::chrono::milliseconds kWaitHookInterval{25};

}  // namespace

CurlUrlFile::CurlUrlFile(const SessionOptions& options, UrlPtr url, Protocol protocol,
                         std::string fileName, WaitHook waitHook, ResumePlan plan)
    : m_strAgent(options.agent),
      m_url(std::move(url)),
      m_bHttp(protocol == Protocol::kHttp),
      m_bFtp(protocol == Protocol::kFtp),
      m_strFileName(std::move(fileName)),
      m_limits(options.limits),
      m_waitHook(std::move(waitHook)),
      m_check(protocol, std::move(plan)),
      m_crawl(std::max(m_limits.crawlWindowMs, 1L), m_limits.crawlFloorBytesPerSec) {
    if (m_limits.maxReceiveBytesPerSec > 0) {
        // Under a cap the line runs at most about a second ahead of what is handed out.
        const auto second = static_cast<size_t>(m_limits.maxReceiveBytesPerSec);
        m_limits.bufferBytes = std::min(m_limits.bufferBytes, std::max<size_t>(64 * 1024, second));
    }
    m_buf.reserve(m_limits.bufferBytes + static_cast<size_t>(m_limits.receiveChunkBytes));
    if (m_check.Plan().offset <= 0 || !Start(true)) Start(false);
    m_check.AskNoMore();
    m_startOffset = m_check.DataStart();
}

CurlUrlFile::~CurlUrlFile() {
    Close();
}

size_t CurlUrlFile::Read(void* buf, size_t n) {
    std::span<const char> view = ReadView(nullptr, n);
    if (!view.empty()) std::memcpy(buf, view.data(), view.size());
    return view.size();
}

std::span<const char> CurlUrlFile::ReadView(char*, size_t n) {
    DropHandedOut();
    bool waiting = false;
    for (;;) {
        size_t unread = m_buf.size() - m_pos;
        if (unread > 0) {
            size_t k = std::min(n, unread);
            if (m_limits.maxReceiveBytesPerSec > 0) k = Pace(k);
            std::span<const char> view(m_buf.data() + m_pos, k);
            m_pos += k;
            return view;
        }
        if (!MoreToCome(waiting)) return {};
        Drive();
    }
}

bool CurlUrlFile::MoreToCome(bool& waiting) {
    if (m_bDone) {
        if (m_result != CURLE_OK) ThrowCurl(m_result, m_errorBuffer, m_easy, m_strReasonPhrase);
        return false;
    }
    if (!m_multi) ThrowClosed();
    if (!waiting) {
        // The stall limit counts from the start of this read: time the caller spent elsewhere
        // (a box open inside its pump) is not the server's silence.
        waiting = true;
        m_lastProgress = std::max(m_lastProgress, Clock::now());
    }
    return true;
}

bool CurlUrlFile::ReadInto(DataSink& sink) {
    if (m_limits.maxReceiveBytesPerSec > 0 || m_bKeepPrefix) return CInternetFile::ReadInto(sink);
    bool waiting = false;
    for (;;) {
        DropHandedOut();
        if (m_pos < m_buf.size()) {
            // Left over from a rewind or from a pause: offered in pieces of a read's size.
            const size_t k =
                std::min(m_buf.size() - m_pos, static_cast<size_t>(m_limits.receiveChunkBytes));
            const std::span<const char> piece(m_buf.data() + m_pos, k);
            m_pos += k;
            if (!sink.Take(piece)) return true;
            waiting = false;
            continue;
        }
        if (!MoreToCome(waiting)) return false;
        if (DriveInto(sink)) return true;
    }
}

bool CurlUrlFile::DriveInto(DataSink& sink) {
    m_sink = &sink;
    m_bSinkStopped = false;
    struct Release {
        DataSink*& sink;
        ~Release() { sink = nullptr; }
    } release{m_sink};
    Drive();
    if (m_sinkError) std::rethrow_exception(std::exchange(m_sinkError, nullptr));
    return m_bSinkStopped;
}

void CurlUrlFile::SeekToBegin() {
    DropHandedOut();
    if (!m_bDiscarded) {
        // Everything from byte 0 is still in the buffer: hand it out again, once.
        m_pos = 0;
        m_bKeepPrefix = false;
        if (m_buf.empty()) Discard();
        return;
    }
    // The first bytes are gone: fetch the resource again from its start (the start offset
    // of a resumed file). The data must start where it did: a resource that changed in
    // between cannot be continued by this file.
    Stop();
    m_buf.clear();
    m_pos = 0;
    m_bDiscarded = false;
    m_bKeepPrefix = false;
    if (!Start(m_startOffset > 0) || m_check.DataStart() != m_startOffset) {
        Stop();
        ThrowResourceChanged();
    }
}

uint32_t CurlUrlFile::QueryDataAvailable() {
    size_t unread = m_buf.size() - m_pos;
    return static_cast<uint32_t>(std::min<size_t>(unread, UINT32_MAX));
}

void CurlUrlFile::Configure(CURL* e) {
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(e, CURLOPT_CURLU, m_url.get());
    curl_easy_setopt(e, CURLOPT_USERAGENT, m_strAgent.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,ftp,gopher");
    // Redirects stay on the web: never to a local file, an FTP server or gopher.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, m_bHttp ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    // An error page is not the resource: a status of 400 or more fails the open.
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    // Archives must arrive unchanged: binary (image) type for FTP.
    curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl has its CA bundle compiled in; honour the usual overrides of the system store.
    if (const char* f = std::getenv("SSL_CERT_FILE"); f && *f)
        curl_easy_setopt(e, CURLOPT_CAINFO, f);
    if (const char* d = std::getenv("SSL_CERT_DIR"); d && *d)
        curl_easy_setopt(e, CURLOPT_CAPATH, d);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, m_limits.connectTimeoutMs);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, m_limits.receiveChunkBytes);
    if (m_limits.maxReceiveBytesPerSec > 0)
        curl_easy_setopt(e, CURLOPT_MAX_RECV_SPEED_LARGE,
                         static_cast<curl_off_t>(m_limits.maxReceiveBytesPerSec));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlUrlFile::WriteCallback);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlUrlFile::HeaderCallback);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    // A proxy tunnel's own reply is not the response that opens the URL.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

bool CurlUrlFile::Start(bool fromOffset) {
    m_bDone = false;
    m_result = CURLE_OK;
    m_bOpen = false;
    m_bPaused = false;
    m_nOtherStatus = 0;
    m_errorBuffer[0] = 0;
    m_check.Begin(fromOffset);
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
    if (!m_easy || !m_multi) {
        Stop();
        ThrowLibrary(CURLE_FAILED_INIT);
    }
    Configure(m_easy);
    m_headers = m_check.Request(m_easy);
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
        Stop();
        ThrowLibrary(CURLE_FAILED_INIT);
    }
    m_lastProgress = Clock::now();
    try {
        while (!m_bOpen && !m_bDone) Drive();
        if (m_check.Unchanged()) {
            // Over FTP the transfer was cut short on purpose: no error, no data.
            m_result = CURLE_OK;
            m_bDone = true;
            return true;
        }
        if (fromOffset &&
            (m_check.CannotContinue() || (m_bDone && m_check.RefusedTheOffset(m_easy, m_result)))) {
            Stop();
            return false;
        }
        if (m_nOtherStatus == 0 && m_bDone && m_result == CURLE_OK && !m_bOpen && m_bHttp) {
            // Ended without a body: a final status outside 2xx still means "not the resource".
            long code = 0;
            curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
            if (code < 200 || code >= 300) m_nOtherStatus = code;
        }
        if (m_nOtherStatus != 0) ThrowOtherStatus(m_nOtherStatus, m_strReasonPhrase);
        // A reply that opened and broke within one read stays open (see the constructor): the
        // job then counts as cut off, not as never reached, and the bytes that came are kept.
        if (m_bDone && m_result != CURLE_OK && !m_bOpen)
            ThrowCurl(m_result, m_errorBuffer, m_easy, m_strReasonPhrase);
    } catch (...) {
        Stop();
        throw;
    }
    m_check.Opened();
    curl_off_t announced = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    m_nAnnounced = AnnouncedTotal(announced, m_check.DataStart());
    return true;
}

void CurlUrlFile::Stop() {
    if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy) curl_easy_cleanup(m_easy);
    if (m_multi) curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);  // after the handle that used it
    m_easy = nullptr;
    m_multi = nullptr;
    m_headers = nullptr;
}

size_t CurlUrlFile::Pace(size_t k) {
    // The library's own cap waits only between its reads, and one read on a fast line takes
    // what the socket holds: the cap is kept here, where the bytes are handed out. The buffer
    // then fills, pauses the transfer, and the socket holds the server back.
    const auto cap = static_cast<double>(m_limits.maxReceiveBytesPerSec);
    k = std::min(k, std::max<size_t>(1024, static_cast<size_t>(cap / 8)));
    const Clock::time_point now = Clock::now();
    if (m_nPaced == 0) m_paceStart = now;
    const auto due = m_paceStart + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>((m_nPaced + k) / cap));
    while (Clock::now() < due) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kWaitHookInterval)));
        if (m_waitHook) m_waitHook();
    }
    m_nPaced += k;
    // Time spent holding the bytes back is not the server's silence.
    m_lastProgress = std::max(m_lastProgress, Clock::now());
    return k;
}

void CurlUrlFile::DropHandedOut() {
    if (m_pos == m_buf.size() && !m_bKeepPrefix) Discard();
}

void CurlUrlFile::Discard() {
    if (m_pos > 0) m_bDiscarded = true;
    m_buf.clear();
    m_pos = 0;
}

void CurlUrlFile::Drive() {
    // Only the data phase is judged: before it, the stall limit is the only bound.
    const bool judged = m_bOpen && !m_bDone;
    const Clock::time_point began = Clock::now();
    const uint64_t receivedBefore = m_nReceived;
    m_sinkTime = {};
    DriveOnce();
    if (!judged) return;
    const auto waited = Clock::now() - began - m_sinkTime;
    m_crawl.Add(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(),
                m_nReceived - receivedBefore);
    if (!m_bDone && m_crawl.Crawling())
        ThrowCrawling(m_limits.crawlWindowMs, m_limits.crawlFloorBytesPerSec);
}

void CurlUrlFile::DriveOnce() {
    uint64_t before = m_nEvents;
    Utf8CtypeScope ctype;
    if (m_bPaused) {
        m_bPaused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);  // may deliver the held data right here
    }
    int running = 0;
    CURLMcode mc = curl_multi_perform(m_multi, &running);
    if (mc != CURLM_OK) ThrowMulti(mc);
    CollectDone();
    if (m_bDone || m_nEvents != before) return;
    auto idle =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_lastProgress);
    if (idle.count() >= m_limits.stallTimeoutMs) ThrowStalled(m_limits.stallTimeoutMs);
    long slice = m_waitHook ? kWaitHookInterval.count() : 200;
    int waitMs = static_cast<int>(std::min(slice, m_limits.stallTimeoutMs - idle.count()));
    curl_multi_poll(m_multi, nullptr, 0, std::max(waitMs, 1), nullptr);
    if (m_waitHook && Clock::now() - m_lastHook >= kWaitHookInterval) {
        m_waitHook();
        m_lastHook = Clock::now();
    }
}

void CurlUrlFile::CollectDone() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
        if (msg->msg == CURLMSG_DONE) {
            m_bDone = true;
            m_result = msg->data.result;
        }
    }
}

size_t CurlUrlFile::WriteCallback(char* data, size_t size, size_t count, void* self) {
    return static_cast<CurlUrlFile*>(self)->OnData(data, size * count);
}

size_t CurlUrlFile::OnData(const char* data, size_t n) {
    if (m_bFtp && !m_check.TakeFtpData()) return 0;
    if (m_bHttp && !m_bOpen) {
        // The body of a final reply that is not 2xx (a redirect curl could not follow, for
        // want of a Location) is that reply's page, never the resource: fail the open.
        long code = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        if (code < 200 || code >= 300) {
            m_nOtherStatus = code;
            return 0;
        }
    }
    size_t unread = m_buf.size() - m_pos;
    if (m_sink && !m_bSinkStopped && unread == 0) return Offer(data, n);
    if (unread > 0 && unread + n > m_limits.bufferBytes) {
        m_bPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (m_buf.size() + n > m_limits.bufferBytes && m_pos > 0) {
        // Keeping byte 0 for a rewind would grow the buffer: give that up.
        m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
        m_bDiscarded = true;
    }
    m_buf.insert(m_buf.end(), data, data + n);
    m_nReceived += n;
    m_bOpen = true;  // data has begun (the only sign of an open FTP or gopher transfer)
    m_lastProgress = Clock::now();
    ++m_nEvents;
    return n;
}

size_t CurlUrlFile::Offer(const char* data, size_t n) {
    m_nReceived += n;
    m_bOpen = true;
    ++m_nEvents;
    const Clock::time_point began = Clock::now();
    try {
        m_bSinkStopped = !m_sink->Take({data, n});
    } catch (...) {
        // Nothing may unwind through curl: the transfer ends here, and DriveInto throws it.
        m_sinkError = std::current_exception();
        m_bSinkStopped = true;
        return 0;
    }
    const Clock::time_point now = Clock::now();
    m_sinkTime += now - began;
    m_lastProgress = now;  // the time the sink took is not the server's silence
    return n;
}

size_t CurlUrlFile::HeaderCallback(char* data, size_t size, size_t count, void* self) {
    return static_cast<CurlUrlFile*>(self)->OnHeader(data, size * count);
}

size_t CurlUrlFile::OnHeader(const char* data, size_t n) {
    m_lastProgress = Clock::now();
    ++m_nEvents;
    const std::string_view line(data, n);
    if (m_bFtp) return m_check.OnFtpReply(m_easy, line) ? n : 0;
    if (!m_bHttp || m_bOpen) return n;  // trailers after the body change nothing
    if (line.substr(0, 5) == "HTTP/") {
        // "HTTP/1.1 503 Service Unavailable": the words after the code, for the run log.
        m_strReasonPhrase.clear();
        const size_t code = line.find(' ');
        const size_t phrase = code == std::string_view::npos ? code : line.find(' ', code + 1);
        if (phrase != std::string_view::npos) {
            std::string_view words = line.substr(phrase + 1);
            while (!words.empty() && (words.back() == '\r' || words.back() == '\n'))
                words.remove_suffix(1);
            m_strReasonPhrase.assign(words);
        }
    }
    bool blank = line == "\r\n" || line == "\n";
    if (blank) {
        // The end of a header block. Interim (1xx) and redirect blocks are followed by more.
        // A status of 400 or more is left to fail the transfer (CURLOPT_FAILONERROR).
        long code = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        if (m_check.TakeNotModified(code)) return n;
        if (code >= 200 && code < 300) {
            if (!m_check.TakeHttpAnswer(m_easy, code)) {
                // A part of the resource, yet not asked for: not the resource.
                if (!m_check.AskedFromOffset()) m_nOtherStatus = code;
                return 0;
            }
            m_bOpen = true;
        }
    } else {
        m_check.OnHttpHeader(line);
    }
    return n;
}

}  // namespace curlnet
