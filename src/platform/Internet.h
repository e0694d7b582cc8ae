// The internet client the transfers speak to, shaped like the framework's internet classes.
// Real implementation: platform/curl. Every failure throws CInternetException, except that
// opening a file: URL throws CFileException (and so do its reads and rewind).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Exceptions.h"

// CInternetException code of an open that the server answered with an HTTP status of 400 or
// above (the text names the status). Download treats it as a refusal, not a broken connection.
inline constexpr uint32_t INTERNET_ERROR_HTTP_STATUS = 40000;

// One opened URL. Owned by the caller of OpenURL; must not outlive its session.
class CInternetFile {
public:
    virtual ~CInternetFile() = default;
    // Reads up to n bytes into buf; returns the count, 0 at the end of the data.
    virtual size_t Read(void* buf, size_t n) = 0;
    // The next Read starts again at byte 0.
    virtual void SeekToBegin() = 0;
    // Bytes the next Read can hand over at once, without waiting; 0 on failure. For a file:
    // URL, the local file's length. Never throws.
    virtual uint32_t QueryDataAvailable() = 0;
    // The file name of the opened URL, at most 255 bytes, possibly empty.
    virtual std::string GetFileName() const = 0;
    // Releases the connection. Safe to call twice. Never throws.
    virtual void Close() = 0;
};

// An internet session ("My Session"). Owned by the transfer for one call.
class CInternetSession {
public:
    virtual ~CInternetSession() = default;
    // Opens `url` (CP932 bytes, as the job table holds it). Returns when the response headers
    // have arrived (HTTP) or the data has begun (FTP). A status of 400 or above is an open
    // failure. Throws CInternetException, or CFileException for file: URLs.
    virtual std::unique_ptr<CInternetFile> OpenURL(const std::string& url) = 0;
    // Safe to call twice. Never throws.
    virtual void Close() = 0;
};

// Makes sessions; the program holds one for its life. Opening a session may throw
// CInternetException.
class InternetClient {
public:
    virtual ~InternetClient() = default;
    virtual std::unique_ptr<CInternetSession> OpenSession(const std::string& agent) = 0;
};

// The file name of a URL path: the first 259 bytes scanned in CP932 (a double-byte character is
// stepped over whole), everything after the last '/', '\\' or ':', cut to at most 255 bytes.
std::string FileNameOfUrlPath(const std::string& urlPath);
