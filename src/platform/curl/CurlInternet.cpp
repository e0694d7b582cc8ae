#include "platform/curl/CurlInternet.h"

#include <curl/curl.h>
#include <locale.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/File.h"
#include "platform/UrlFileName.h"
#include "resources/Text.h"
#include "platform/curl/CurlErrorText.h"
#include "platform/curl/CurlValidator.h"

namespace curlnet {

Limits& CurrentLimits() {
    static Limits limits;
    return limits;
}

}  // namespace curlnet

namespace {

using Clock = std::chrono::steady_clock;
using WaitHook = CurlInternetClient::WaitHook;

// How often a blocking wait hands control to the wait hook: well inside the 5 s after which a
// desktop greys a window that does not answer its ping, and often enough to repaint smoothly.
constexpr std::chrono::milliseconds kWaitHookInterval{25};

// curl's texts are ASCII, which is already CP932. `easy` (may be null) tells the details that
// choose the wording of the box.
[[noreturn]] void ThrowCurl(CURLcode code, const char* errorBuffer, CURL* easy) {
    std::string english = (errorBuffer && *errorBuffer) ? errorBuffer : curl_easy_strerror(code);
    if (code == CURLE_HTTP_RETURNED_ERROR)
        throw CInternetException(INTERNET_ERROR_HTTP_STATUS, english);
    curlnet::ErrorDetail detail;
    if (easy) {
        curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &detail.sslVerifyResult);
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &detail.proxyConnectCode);
    }
    throw CInternetException(static_cast<uint32_t>(code),
                             curlnet::ErrorBoxText(code, detail, english));
}

[[noreturn]] void ThrowUrl(CURLUcode code) {
    throw CInternetException(static_cast<uint32_t>(CURLE_URL_MALFORMAT),
                             std::string("URL: ") + curl_url_strerror(code));
}

// One part of a parsed URL; empty when the URL has none.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* p = nullptr;
    if (curl_url_get(url, part, &p, flags) != CURLUE_OK || !p) return {};
    std::string s(p);
    curl_free(p);
    return s;
}

// libcurl turns a UTF-8 host name into IDNA (punycode) through libidn2, which reads its input in
// the charset of the thread's LC_CTYPE. Hosts are UTF-8 here whatever the user's locale (C, say),
// so curl runs under a UTF-8 LC_CTYPE for this thread only.
class Utf8CtypeScope {
  public:
    Utf8CtypeScope() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (utf8) m_previous = uselocale(utf8);
    }
    ~Utf8CtypeScope() {
        if (m_previous) uselocale(m_previous);
    }
    Utf8CtypeScope(const Utf8CtypeScope&) = delete;
    Utf8CtypeScope& operator=(const Utf8CtypeScope&) = delete;

  private:
    locale_t m_previous{};
};

// What a browser escapes in a path or query: spaces always, bytes outside ASCII when `nonAscii`.
// Escapes the user typed are left as typed.
std::string Escape(std::string_view s, bool nonAscii) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == ' ' || (nonAscii && c >= 0x80)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// The whole of `url` as curl writes it, escaped as a browser escapes it everywhere but in the host
// name, which stays UTF-8 for curl's IDNA conversion.
std::string EscapedOutsideHost(CURLU* url) {
    const std::string whole = UrlPart(url, CURLUPART_URL);
    const std::string host = UrlPart(url, CURLUPART_HOST);
    size_t hostAt = whole.size(), hostEnd = whole.size();
    const size_t scheme = whole.find("://");
    if (scheme != std::string::npos && !host.empty()) {
        const size_t authority = scheme + 3;
        const size_t end = std::min(whole.find('/', authority), whole.size());
        const size_t at = whole.rfind('@', end);
        hostAt = (at != std::string::npos && at >= authority) ? at + 1 : authority;
        hostEnd = whole.compare(hostAt, host.size(), host) == 0 ? hostAt + host.size() : hostAt;
    }
    return Escape(std::string_view(whole).substr(0, hostAt), true) +
           whole.substr(hostAt, hostEnd - hostAt) +
           Escape(std::string_view(whole).substr(hostEnd), true);
}

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using UrlPtr = std::unique_ptr<CURLU, UrlDeleter>;

// A local file named by a file: URL, read byte for byte through a large buffer.
class LocalUrlFile : public CInternetFile {
  public:
    // `localPath` is the system's name. Throws CFileException when it cannot be opened.
    LocalUrlFile(const std::string& localPath, std::string fileName)
        : m_strFileName(std::move(fileName)), m_buf(256 * 1024) {
        CFileException error(CFileException::none, localPath);
        if (!m_file.OpenOnSystem(localPath, CFile::modeRead, &error)) throw error;
    }

    size_t Read(void* buf, size_t n) override {
        if (m_pos == m_len) {
            m_pos = 0;
            m_len = m_file.Read(m_buf.data(), m_buf.size());
            if (m_len == 0) return 0;
        }
        size_t k = std::min(n, m_len - m_pos);
        std::memcpy(buf, m_buf.data() + m_pos, k);
        m_pos += k;
        return k;
    }

    void SeekToBegin() override {
        m_file.SeekToBegin();
        m_pos = m_len = 0;
    }

    uint32_t QueryDataAvailable() override {
        try {
            return static_cast<uint32_t>(m_file.GetLength());
        } catch (const CFileException&) {
            return 0;
        }
    }

    std::string GetFileName() const override { return m_strFileName; }

    void Close() override {
        try {
            m_file.Close();
        } catch (const CFileException&) {
            // A read-only close has nothing left to lose.
        }
    }

  private:
    CFile m_file;
    std::string m_strFileName;
    std::vector<char> m_buf;
    size_t m_pos = 0, m_len = 0;
};

enum class Protocol { kHttp, kFtp, kGopher };

// A partial copy to continue, as the session understood its validator.
struct ResumePlan {
    int64_t offset = 0;  // 0: fetch the whole resource
    curlnet::HttpValidator http;
    curlnet::FtpValidator ftp;
};

// A URL fetched by libcurl. Read pulls from a buffer that the write callback fills; curl is
// driven only when that buffer has nothing unread, and a full buffer pauses the transfer.
//
// A resumed transfer asks for the bytes from plan.offset on, and takes them only when the server
// proves that they continue the same version: an HTTP 206 whose Content-Range starts there, or
// an FTP SIZE and MDTM equal to the stored ones before REST is sent. Any other answer (a 206
// elsewhere, a 416, a refused REST, another size or time) is dropped unread and the resource is
// fetched again whole, so old bytes are never spliced onto new ones. A 200 is the whole
// resource already.
class CurlUrlFile : public CInternetFile {
  public:
    // Starts the transfer and waits until it is open. Throws CInternetException.
    CurlUrlFile(const std::string& agent, UrlPtr url, Protocol protocol, std::string fileName,
                WaitHook waitHook, ResumePlan plan)
        : m_strAgent(agent),
          m_url(std::move(url)),
          m_bHttp(protocol == Protocol::kHttp),
          m_bFtp(protocol == Protocol::kFtp),
          m_strFileName(std::move(fileName)),
          m_limits(curlnet::CurrentLimits()),
          m_waitHook(std::move(waitHook)),
          m_plan(std::move(plan)) {
        m_buf.reserve(m_limits.bufferBytes + static_cast<size_t>(m_limits.receiveChunkBytes));
        if (m_plan.offset <= 0 || !Start(true)) Start(false);
        m_startOffset = m_dataStart;
    }

    ~CurlUrlFile() override { Close(); }

    size_t Read(void* buf, size_t n) override {
        bool waiting = false;
        for (;;) {
            size_t unread = m_buf.size() - m_pos;
            if (unread > 0) {
                size_t k = std::min(n, unread);
                std::memcpy(buf, m_buf.data() + m_pos, k);
                m_pos += k;
                if (m_pos == m_buf.size() && !m_bKeepPrefix) Discard();
                return k;
            }
            if (m_bDone) {
                if (m_result != CURLE_OK) ThrowCurl(m_result, m_errorBuffer, m_easy);
                return 0;
            }
            if (!m_multi) throw CInternetException(CURLE_FAILED_INIT, "the URL is closed");
            if (!waiting) {
                // The stall limit counts from the start of this read: time the caller spent
                // elsewhere (a box open inside its pump) is not the server's silence.
                waiting = true;
                m_lastProgress = std::max(m_lastProgress, Clock::now());
            }
            Drive();
        }
    }

    void SeekToBegin() override {
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
        if (!Start(m_startOffset > 0) || m_dataStart != m_startOffset) {
            Stop();
            throw CInternetException(CURLE_RANGE_ERROR,
                                     "The resource changed on the server while it was read");
        }
    }

    uint32_t QueryDataAvailable() override {
        size_t unread = m_buf.size() - m_pos;
        return static_cast<uint32_t>(std::min<size_t>(unread, UINT32_MAX));
    }

    std::string GetFileName() const override { return m_strFileName; }

    int64_t GetStartOffset() const override { return m_startOffset; }

    std::string GetValidator() const override { return m_strValidator; }

    void Close() override { Stop(); }

  private:
    // Creates the handles and runs the transfer until it is open. With `fromOffset`, asks for
    // the bytes from m_plan.offset on, and returns false (handles closed) when the answer cannot
    // continue the partial copy; the whole resource is to be fetched then. m_dataStart tells
    // where the data of the open transfer starts.
    bool Start(bool fromOffset) {
        m_bDone = false;
        m_result = CURLE_OK;
        m_bOpen = false;
        m_bPaused = false;
        m_nOtherStatus = 0;
        m_errorBuffer[0] = 0;
        m_bFromOffset = fromOffset;
        m_bCannotContinue = false;
        m_bFtpChecked = false;
        m_dataStart = 0;
        m_strValidator.clear();
        m_answer = {};
        m_strFtpCommand.clear();
        m_nFtpSize = -1;
        m_easy = curl_easy_init();
        m_multi = curl_multi_init();
        if (!m_easy || !m_multi) {
            Stop();
            throw CInternetException(CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
        }
        CURL* e = m_easy;
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
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlUrlFile::WriteCallback);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlUrlFile::HeaderCallback);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
        // A proxy tunnel's own reply is not the response that opens the URL.
        curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        if (m_bHttp && fromOffset) {
            // "Range: bytes=<offset>-", valid only while the stored validator still holds.
            const std::string range = std::to_string(m_plan.offset) + "-";
            curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());  // curl copies the string
            const std::string ifRange = "If-Range: " + curlnet::IfRangeValue(m_plan.http);
            m_headers = curl_slist_append(nullptr, ifRange.c_str());
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
        }
        if (m_bFtp) {
            // MDTM for the validator. The command log tells which reply answers SIZE, the moment
            // to compare before REST goes out.
            curl_easy_setopt(e, CURLOPT_FILETIME, 1L);
            curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, &CurlUrlFile::DebugCallback);
            curl_easy_setopt(e, CURLOPT_DEBUGDATA, this);
            curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
            if (fromOffset)
                curl_easy_setopt(e, CURLOPT_RESUME_FROM_LARGE,
                                 static_cast<curl_off_t>(m_plan.offset));
        }
        if (curl_multi_add_handle(m_multi, e) != CURLM_OK) {
            Stop();
            throw CInternetException(CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
        }
        m_lastProgress = Clock::now();
        try {
            while (!m_bOpen && !m_bDone) Drive();
            if (fromOffset && (m_bCannotContinue || RefusedTheOffset())) {
                Stop();
                return false;
            }
            if (m_nOtherStatus == 0 && m_bDone && m_result == CURLE_OK && !m_bOpen && m_bHttp) {
                // Ended without a body: a final status outside 2xx still means "not the resource".
                long code = 0;
                curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
                if (code < 200 || code >= 300) m_nOtherStatus = code;
            }
            if (m_nOtherStatus != 0)
                throw CInternetException(
                    INTERNET_ERROR_HTTP_STATUS,
                    "HTTP status " + std::to_string(m_nOtherStatus) + " is not the resource");
            if (m_bDone && m_result != CURLE_OK) ThrowCurl(m_result, m_errorBuffer, m_easy);
        } catch (...) {
            Stop();
            throw;
        }
        if (fromOffset && m_bFtp) m_dataStart = m_plan.offset;  // the SIZE check passed
        return true;
    }

    // The transfer ended because the server would not, or could not, start at the offset.
    bool RefusedTheOffset() const {
        if (!m_bDone) return false;
        if (m_bHttp && m_result == CURLE_HTTP_RETURNED_ERROR) {
            long code = 0;
            curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
            return code == 416;  // Range Not Satisfiable: the copy is not a prefix any more
        }
        return m_result == CURLE_FTP_COULDNT_USE_REST || m_result == CURLE_BAD_DOWNLOAD_RESUME ||
               m_result == CURLE_RANGE_ERROR;
    }

    void Stop() {
        if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
        if (m_easy) curl_easy_cleanup(m_easy);
        if (m_multi) curl_multi_cleanup(m_multi);
        curl_slist_free_all(m_headers);  // after the handle that used it
        m_easy = nullptr;
        m_multi = nullptr;
        m_headers = nullptr;
    }

    // Drops the bytes already handed out.
    void Discard() {
        if (m_pos > 0) m_bDiscarded = true;
        m_buf.clear();
        m_pos = 0;
    }

    // One step of the transfer: resume it if paused, let curl work, and wait for the socket
    // when that produced nothing. Throws CInternetException after a stall.
    void Drive() {
        uint64_t before = m_nEvents;
        Utf8CtypeScope ctype;
        if (m_bPaused) {
            m_bPaused = false;
            curl_easy_pause(m_easy, CURLPAUSE_CONT);  // may deliver the held data right here
        }
        int running = 0;
        CURLMcode mc = curl_multi_perform(m_multi, &running);
        if (mc != CURLM_OK) throw CInternetException(CURLE_FAILED_INIT, curl_multi_strerror(mc));
        CollectDone();
        if (m_bDone || m_nEvents != before) return;
        auto idle =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_lastProgress);
        if (idle.count() >= m_limits.stallTimeoutMs) {
            std::string english = "No data received for " +
                                  std::to_string(m_limits.stallTimeoutMs / 1000) + " seconds";
            throw CInternetException(CURLE_OPERATION_TIMEDOUT,
                                     curlnet::ErrorBoxText(CURLE_OPERATION_TIMEDOUT, {}, english));
        }
        long slice = m_waitHook ? kWaitHookInterval.count() : 200;
        int waitMs = static_cast<int>(std::min(slice, m_limits.stallTimeoutMs - idle.count()));
        curl_multi_poll(m_multi, nullptr, 0, std::max(waitMs, 1), nullptr);
        if (m_waitHook && Clock::now() - m_lastHook >= kWaitHookInterval) {
            m_waitHook();
            m_lastHook = Clock::now();
        }
    }

    void CollectDone() {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                m_bDone = true;
                m_result = msg->data.result;
            }
        }
    }

    static size_t WriteCallback(char* data, size_t size, size_t count, void* self) {
        return static_cast<CurlUrlFile*>(self)->OnData(data, size * count);
    }

    size_t OnData(const char* data, size_t n) {
        if (m_bFtp && m_bFromOffset && !m_bFtpChecked) {
            // Data after REST that no SIZE reply vouched for: not known to continue the copy.
            m_bCannotContinue = true;
            return 0;
        }
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
        m_bOpen = true;  // data has begun (the only sign of an open FTP or gopher transfer)
        m_lastProgress = Clock::now();
        ++m_nEvents;
        return n;
    }

    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self) {
        return static_cast<CurlUrlFile*>(self)->OnHeader(data, size * count);
    }

    size_t OnHeader(const char* data, size_t n) {
        m_lastProgress = Clock::now();
        ++m_nEvents;
        const std::string_view line(data, n);
        if (m_bFtp) return OnFtpReply(line) ? n : 0;
        if (!m_bHttp || m_bOpen) return n;  // trailers after the body change nothing
        bool blank = line == "\r\n" || line == "\n";
        if (blank) {
            // The end of a header block. Interim (1xx) and redirect blocks are followed by more.
            // A status of 400 or more is left to fail the transfer (CURLOPT_FAILONERROR).
            long code = 0;
            curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
            if (code >= 200 && code < 300) {
                if (!TakeHttpAnswer(code)) return 0;
                m_bOpen = true;
            }
        } else if (line.substr(0, 5) == "HTTP/") {
            m_answer = {};  // a new response: its own headers only
        } else if (auto v = curlnet::HeaderValue(line, "ETag")) {
            m_answer.etag = *v;
        } else if (auto v = curlnet::HeaderValue(line, "Last-Modified")) {
            m_answer.lastModified = *v;
        } else if (auto v = curlnet::HeaderValue(line, "Content-Range")) {
            m_answer.contentRange = *v;
        }
        return n;
    }

    // The final 2xx headers: where the data starts, and the validator. False (the transfer is
    // to be aborted) for a 206 that does not start where it was asked to.
    bool TakeHttpAnswer(long code) {
        curlnet::HttpValidator got;
        if (curlnet::IsStrongEtag(m_answer.etag)) got.etag = m_answer.etag;
        got.lastModified = m_answer.lastModified;
        if (code == 206) {
            const int64_t want = m_bFromOffset ? m_plan.offset : 0;
            auto range = curlnet::ParseContentRange(m_answer.contentRange);
            // The part must run from `want` to the end of the resource. A stored length is a
            // second check for a date validator, which has only whole seconds.
            bool same = range && range->first == want &&
                        (range->total < 0 || range->last + 1 == range->total) &&
                        (!m_bFromOffset || range->total < 0 || m_plan.http.length < 0 ||
                         range->total == m_plan.http.length);
            if (!same) {
                if (m_bFromOffset)
                    m_bCannotContinue = true;
                else
                    m_nOtherStatus = code;  // a part of the resource, yet not asked for
                return false;
            }
            got.length = range->total;
            m_dataStart = want;
        } else {
            curl_off_t length = -1;
            curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            got.length = length;
            m_dataStart = 0;
        }
        m_strValidator = curlnet::FormatHttpValidator(got);
        if (m_strValidator.empty() && m_dataStart > 0) {
            // The server matched If-Range, so the stored version is this one.
            m_strValidator = curlnet::FormatHttpValidator(m_plan.http);
        }
        return true;
    }

    static int DebugCallback(CURL*, curl_infotype type, char* data, size_t n, void* self) {
        if (type == CURLINFO_HEADER_OUT) {
            std::string_view command(data, n);
            static_cast<CurlUrlFile*>(self)->m_strFtpCommand =
                command.substr(0, command.find_first_of(" \r\n"));
        }
        return 0;
    }

    // One line of an FTP server's reply. The reply to SIZE comes after MDTM's and before REST
    // is sent: the validator is complete then, and a resumed transfer must match it. False
    // aborts the transfer.
    bool OnFtpReply(std::string_view line) {
        // The last line of a reply: "213 5000"; "213-" begins a longer one.
        if (line.size() < 4 || line[3] != ' ' || m_strFtpCommand != "SIZE") return true;
        std::string_view value = line.substr(4);
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
            value.remove_suffix(1);
        if (line.substr(0, 3) == "213") m_nFtpSize = curlnet::ParseCount(value).value_or(-1);
        curl_off_t mtime = -1;
        curl_easy_getinfo(m_easy, CURLINFO_FILETIME_T, &mtime);
        m_strValidator = curlnet::FormatFtpValidator({m_nFtpSize, mtime});
        m_strFtpCommand.clear();  // one reply per command
        if (!m_bFromOffset) return true;
        m_bFtpChecked =
            !m_strValidator.empty() && m_nFtpSize == m_plan.ftp.size && mtime == m_plan.ftp.mtime;
        if (!m_bFtpChecked) m_bCannotContinue = true;
        return m_bFtpChecked;
    }

    std::string m_strAgent;
    UrlPtr m_url;  // owned; the easy handle reads it
    bool m_bHttp, m_bFtp;
    std::string m_strFileName;
    curlnet::Limits m_limits;
    WaitHook m_waitHook;           // may be empty
    Clock::time_point m_lastHook;  // end of the last call of m_waitHook
    ResumePlan m_plan;
    int64_t m_startOffset = 0;  // m_dataStart of the first open; fixed for the file's life

    // The open transfer.
    bool m_bFromOffset = false;      // asked for the bytes from m_plan.offset on
    bool m_bCannotContinue = false;  // the answer does not continue the partial copy
    bool m_bFtpChecked = false;      // FTP: SIZE and MDTM matched m_plan.ftp
    int64_t m_dataStart = 0;         // byte of the resource the data starts at
    std::string m_strValidator;      // GetValidator(); empty until the server has told it
    struct HttpAnswer {
        std::string etag, lastModified, contentRange;
    } m_answer;                   // HTTP: headers of the response being received
    std::string m_strFtpCommand;  // FTP: the last command sent, until its reply
    int64_t m_nFtpSize = -1;      // FTP: the SIZE reply; -1 unknown

    CURL* m_easy = nullptr;           // owned; null once closed
    CURLM* m_multi = nullptr;         // owned; null once closed
    curl_slist* m_headers = nullptr;  // owned; the request headers the easy handle sends
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    bool m_bOpen = false, m_bDone = false, m_bPaused = false;
    long m_nOtherStatus = 0;  // HTTP: the final status, when it was not 2xx and curl let it by
    CURLcode m_result = CURLE_OK;
    Clock::time_point m_lastProgress;
    uint64_t m_nEvents = 0;  // header lines and data chunks received so far

    // Received bytes; [m_pos, size) are unread. Until the first rewind the bytes from byte 0
    // stay too, so that the rewind costs nothing.
    std::vector<char> m_buf;
    size_t m_pos = 0;
    bool m_bKeepPrefix = true;
    bool m_bDiscarded = false;  // some byte from the start is no longer in m_buf
};

}  // namespace

namespace curlnet {

UrlParts SplitUrl(const std::string& text) {
    UrlParts parts;
    UrlPtr url(curl_url());
    if (!url)
        throw CInternetException(CURLE_OUT_OF_MEMORY, curl_easy_strerror(CURLE_OUT_OF_MEMORY));
    // The text is CP932; URLs are UTF-8 on the wire, as browsers send them.
    if (!text::IsValidCp932(text))
        throw CInternetException(static_cast<uint32_t>(CURLE_URL_MALFORMAT),
                                 "URL: not CP932 text");
    const std::string utf8 = text::Cp932ToUtf8(text);
    // Split as typed (spaces and non-ASCII kept raw), then escaped part by part below.
    CURLUcode rc = curl_url_set(url.get(), CURLUPART_URL, utf8.c_str(),
                                CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE);
    if (rc != CURLUE_OK) ThrowUrl(rc);

    parts.scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    const std::string path = UrlPart(url.get(), CURLUPART_PATH);
    char* q = nullptr;
    const bool hasQuery = curl_url_get(url.get(), CURLUPART_QUERY, &q, 0) == CURLUE_OK && q;
    const std::string query = hasQuery ? q : "";
    curl_free(q);

    // The name is the path as the user typed it: a Japanese name stays Japanese, a typed escape
    // stays an escape; only spaces read as the escape they travel as.
    // Appended piece by piece: g++ 12 at -O3 reports a false -Wrestrict for "?" + std::string.
    std::string typed = Escape(path, false);
    if (hasQuery) {
        typed += '?';
        typed += Escape(query, false);
    }
    auto typedCp932 = text::Utf8ToCp932(typed);
    parts.fileName = FileNameOfUrlPath(typedCp932 ? *typedCp932 : Escape(typed, true));

    // The host stays UTF-8 for curl's IDNA conversion; the path and query leave escaped. The
    // URL is set whole: setting the path or the query alone lower-cases every escape in it,
    // and the escapes the user typed leave as typed.
    if (curl_url_set(url.get(), CURLUPART_URL, EscapedOutsideHost(url.get()).c_str(),
                     CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        ThrowUrl(CURLUE_MALFORMED_INPUT);
    if (parts.scheme == "file")
        parts.localPath = UrlPart(url.get(), CURLUPART_PATH, CURLU_URLDECODE);
    parts.url = url.release();
    return parts;
}

UrlParts::~UrlParts() {
    if (url) curl_url_cleanup(url);
}

}  // namespace curlnet

namespace {

class CurlSession : public CInternetSession {
  public:
    CurlSession(std::string agent, WaitHook waitHook)
        : m_strAgent(std::move(agent)), m_waitHook(std::move(waitHook)) {}

    std::unique_ptr<CInternetFile> OpenURL(const std::string& text) override {
        return Open(text, nullptr);
    }

    std::unique_ptr<CInternetFile> OpenURLFrom(const std::string& text,
                                               const ResumeFrom& resume) override {
        return Open(text, &resume);
    }

    std::string FileNameOf(const std::string& text) override {
        try {
            return curlnet::SplitUrl(text).fileName;
        } catch (...) {
            return {};
        }
    }

    void Close() override {}

  private:
    // `resume` may be null. A validator of another protocol, or of no kind this layer writes,
    // leaves nothing to compare: the whole resource. gopher and file: are always read whole.
    std::unique_ptr<CInternetFile> Open(const std::string& text, const ResumeFrom* resume) {
        curlnet::UrlParts parts = curlnet::SplitUrl(text);
        if (parts.scheme == "file")
            return std::make_unique<LocalUrlFile>(parts.localPath, parts.fileName);
        if (parts.scheme != "http" && parts.scheme != "https" && parts.scheme != "ftp" &&
            parts.scheme != "gopher") {
            throw CInternetException(CURLE_UNSUPPORTED_PROTOCOL,
                                     "Protocol \"" + parts.scheme + "\" not supported");
        }
        const std::string& scheme = parts.scheme;
        const std::string& fileName = parts.fileName;
        UrlPtr url(parts.url);
        parts.url = nullptr;
        Protocol protocol = scheme == "ftp"      ? Protocol::kFtp
                            : scheme == "gopher" ? Protocol::kGopher
                                                 : Protocol::kHttp;
        ResumePlan plan;
        if (resume && resume->offset > 0) {
            if (protocol == Protocol::kHttp) {
                if (auto v = curlnet::ParseHttpValidator(resume->validator)) {
                    plan.offset = resume->offset;
                    plan.http = *v;
                }
            } else if (protocol == Protocol::kFtp) {
                if (auto v = curlnet::ParseFtpValidator(resume->validator)) {
                    plan.offset = resume->offset;
                    plan.ftp = *v;
                }
            }
        }
        return std::make_unique<CurlUrlFile>(m_strAgent, std::move(url), protocol, fileName,
                                             m_waitHook, std::move(plan));
    }

    std::string m_strAgent;
    WaitHook m_waitHook;
};

}  // namespace

CurlInternetClient::CurlInternetClient() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlInternetClient::~CurlInternetClient() = default;

std::unique_ptr<CInternetSession> CurlInternetClient::OpenSession(const std::string& agent) {
    return std::make_unique<CurlSession>(agent, m_waitHook);
}
