// Failure kinds that travel from the platform to the general message-error handler. Every
// description is CP932 bytes, ready for a message box. A local file failure carries one cause of
// the program's fixed table, derived here from errno for every caller alike, so that the same
// system failure is always worded the same way.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Base of every failure the error wrapper of CPomvexDlg reports.
class CException : public std::exception {
  public:
    // The text shown in the stop-icon box; empty means "no description", and the
    // wrapper then shows its fixed fallback text.
    virtual std::string GetErrorMessage() const = 0;
    const char* what() const noexcept override { return "CException"; }
};

// A local file operation failed. Cause codes follow the program's fixed table (0..14).
class CFileException : public CException {
  public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(int cause, std::string path, int osError = 0)
        : m_cause(cause), m_strFileName(std::move(path)), m_lOsError(osError) {}

    // Maps an errno value to a cause code.
    static int OsErrorToCause(int err);
    // Builds the exception for errno `err` on `path`.
    static CFileException FromErrno(int err, const std::string& path);

    // The cause's message with %1 = full path ("無題のﾌｧｲﾙ" when the path is empty).
    std::string GetErrorMessage() const override;

    int m_cause;
    std::string m_strFileName;  // CP932 bytes, as the program named the file
    int m_lOsError;             // errno, 0 when not from the OS
};

// The internet library failed. m_strText is the library's (or server's) own text in
// CP932; empty means the fallback "ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。".
class CInternetException : public CException {
  public:
    CInternetException(uint32_t code, std::string text)
        : m_dwError(code), m_strText(std::move(text)) {}
    std::string GetErrorMessage() const override;

    uint32_t m_dwError;
    std::string m_strText;
    // Why, in the words the run log gives it (CP932, no line end): the HTTP status with its
    // reason phrase, or the Japanese wording of the box without the library's text. Empty: the
    // layer has no wording of its own, and GetErrorMessage() says it.
    std::string m_strReason;
    // The cause may be gone in a while (no answer, a stall or a crawl, a reset or refused
    // connection, a body cut short, HTTP 408, 429, 500, 502, 503, 504): worth another try.
    bool m_bMayPass = false;
    uint32_t m_nRetryAfter = 0;  // the server's Retry-After in seconds; 0: none given
};

// Text typed by the user has a character with no CP932 form: the operation that needs
// its bytes stops rather than replacing it.
class CTextException : public CException {
  public:
    explicit CTextException(std::string message) : m_strMessage(std::move(message)) {}
    std::string GetErrorMessage() const override { return m_strMessage; }
    std::string m_strMessage;
};
