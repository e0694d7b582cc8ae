// The internet client the transfers speak to, shaped like the framework's internet classes.
// Real implementation: platform/curl. Every failure throws CInternetException, except that
// opening a file: URL throws CFileException (and so do its reads and rewind).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/Exceptions.h"

// CInternetException code of an open that the server answered with an HTTP status of 400 or
// above (the text names the status). Download treats it as a refusal, not a broken connection.
inline constexpr uint32_t INTERNET_ERROR_HTTP_STATUS = 40000;

// Takes a download's bytes where they lie: in the reader's buffer, or in the network library's
// own while its callback runs, so that they reach the file without a copy in between.
class DataSink {
  public:
    virtual ~DataSink() = default;
    // Takes `data`, valid only during the call; false ends the read. Every byte offered counts
    // as read, taken or not. May throw; the read then throws that.
    virtual bool Take(std::span<const char> data) = 0;
};

// One opened URL. Owned by the caller of OpenURL; must not outlive its session.
class CInternetFile {
  public:
    virtual ~CInternetFile() = default;
    // Reads up to n bytes into buf; returns the count, 0 at the end of the data.
    virtual size_t Read(void* buf, size_t n) = 0;
    // Reads up to n bytes like Read, without copying them where the file has them in a buffer
    // of its own: the view points into that buffer, else into `scratch`. Empty at the end of the
    // data. The view is valid until the next call of any member of this file (and while
    // `scratch` lives); read it before then, never keep it. Throws as Read.
    // REQUIRES: scratch has room for n bytes.
    virtual std::span<const char> ReadView(char* scratch, size_t n) {
        return {scratch, Read(scratch, n)};
    }
    // Offers what arrives to `sink`, piece by piece, until a Take returns false (true) or the
    // data ends (false). The sink may run inside the library's callback: it must not
    // call this file meanwhile. Throws as Read.
    virtual bool ReadInto(DataSink& sink);
    // The next Read starts again at byte 0.
    virtual void SeekToBegin() = 0;
    // Bytes the next Read can hand over at once, without waiting; 0 on failure. For a file:
    // URL, the local file's length. Never throws.
    virtual uint32_t QueryDataAvailable() = 0;
    // The file name of the opened URL, at most 255 bytes, possibly empty.
    virtual std::string GetFileName() const = 0;
    // Byte of the whole resource at which this file's data starts: 0, or the offset of the
    // ResumeFrom it was opened with when the server sends only the rest. Never throws.
    virtual int64_t GetStartOffset() const { return 0; }
    // What identifies this version of the resource, opaque to the caller (HTTP: the ETag, else
    // Last-Modified, and the full length; FTP: size and modification time); empty when the
    // server gave nothing to compare. Stored with a partial copy and handed back in ResumeFrom.
    // Never throws.
    virtual std::string GetValidator() const { return {}; }
    // The size of the whole resource as the server announced it (HTTP Content-Length, FTP
    // SIZE); -1 when it announced none. Never throws.
    virtual int64_t GetAnnouncedSize() const { return -1; }
    // The server said that the version a conditional open named is still the current one: no
    // data follows (Read returns 0). Never throws.
    virtual bool IsUnchanged() const { return false; }
    // Releases the connection. Safe to call twice. Never throws.
    virtual void Close() = 0;
};

// A partial copy that a new transfer of the same URL may continue.
struct ResumeFrom {
    int64_t offset = 0;     // bytes already on disk, > 0
    std::string validator;  // GetValidator() of the transfer that wrote them, not empty
};

// An internet session ("My Session"). Owned by the transfer for one call.
class CInternetSession {
  public:
    virtual ~CInternetSession() = default;
    // Opens `url` (CP932 bytes, as the job table holds it). Returns when the response headers
    // have arrived (HTTP) or the data has begun (FTP). A status of 400 or above is an open
    // failure. Throws CInternetException, or CFileException for file: URLs.
    virtual std::unique_ptr<CInternetFile> OpenURL(const std::string& url) = 0;
    // Like OpenURL, asking only for the bytes from resume.offset on while the resource still
    // matches resume.validator (HTTP: Range with If-Range; FTP: REST once size and time match).
    // The file's GetStartOffset() tells which came: resume.offset for the rest, 0 for the whole
    // resource (changed, ranges ignored, a part that starts or ends elsewhere, 416, a validator
    // this layer did not write, gopher, file:); never a part spliced onto other bytes. A copy
    // that is already whole comes back whole over HTTP (416), and as no bytes left from
    // resume.offset over FTP. A rewind of a resumed file fetches the rest again, and throws
    // CInternetException when the server no longer gives it. Throws as OpenURL.
    virtual std::unique_ptr<CInternetFile> OpenURLFrom(const std::string& url,
                                                       const ResumeFrom& resume) {
        (void)resume;
        return OpenURL(url);
    }
    // Like OpenURL, unless the resource is still the version `validator` (a GetValidator() of an
    // earlier transfer) names: then the file IsUnchanged() and nothing is transferred (HTTP:
    // If-None-Match with the ETag, else If-Modified-Since, and a 304; FTP: SIZE and MDTM equal,
    // before any data connection). Any other answer opens the resource as OpenURL does. A
    // validator this layer did not write, gopher and file: open as OpenURL. Throws as OpenURL.
    virtual std::unique_ptr<CInternetFile> OpenURLIfChanged(const std::string& url,
                                                            const std::string& validator) {
        (void)validator;
        return OpenURL(url);
    }
    // The name GetFileName() would give for `url`, without any traffic; empty when the URL
    // does not parse. Never throws.
    virtual std::string FileNameOf(const std::string& url) {
        (void)url;
        return {};
    }
    // Safe to call twice. Never throws.
    virtual void Close() = 0;
};

// Limits of every transfer of a session. The defaults are the program's; tests pass shorter ones.
struct InternetLimits {
    long connectTimeoutMs = 30000;
    long stallTimeoutMs = 60000;  // no byte for this long during the open or a read
    // The crawl floor: under this many bytes a second, averaged over the last crawlWindowMs
    // of waiting for data, ends the transfer as a stall does. 0 turns it off.
    long crawlWindowMs = 100000;
    long crawlFloorBytesPerSec = 1024;
    // Unread bytes above this pause the transfer. Pausing is dear (the library keeps a copy of
    // the held data and the socket backs up), so the budget is large enough that a full-speed
    // loopback transfer seldom pauses, and small enough to keep memory flat (about 4 MiB).
    size_t bufferBytes = 4 << 20;
    long receiveChunkBytes = 256 * 1024;  // bytes per socket read
    int64_t maxReceiveBytesPerSec = 0;    // the receive-speed cap; 0: none
};

// What a session is opened with: a value, copied into the session and every file it opens.
struct SessionOptions {
    std::string agent;  // sent as the User-Agent of every request (CP932, ASCII in practice)
    InternetLimits limits;
};

// Closes the session however the call that holds it ends (by a throw too).
// REQUIRES: session outlives the closer.
struct SessionCloser {
    CInternetSession& session;
    ~SessionCloser() { session.Close(); }
};

// Makes sessions; the program holds one for its life. Opening a session may throw
// CInternetException.
class InternetClient {
  public:
    virtual ~InternetClient() = default;
    virtual std::unique_ptr<CInternetSession> OpenSession(const SessionOptions& options) = 0;
};
