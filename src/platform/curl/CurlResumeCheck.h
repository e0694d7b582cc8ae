// Whether the data of a transfer may be appended to a partial copy. A resumed transfer asks for
// the bytes from the copy's end on, and takes them only when the server proves that they continue
// the same version: an HTTP 206 whose Content-Range starts there, or an FTP SIZE and MDTM equal to
// the stored ones before REST is sent. Any other answer (a 206 elsewhere, a 416, a refused REST,
// another size or time) makes the reader drop the data unread and fetch the resource again whole,
// so old bytes are never spliced onto new ones. A 200 is the whole resource already. Every
// transfer, resumed or not, gathers here the validator of the version that arrives. A conditional
// transfer ends before any data when the server vouches for the stored version: a 304, or an
// FTP SIZE and MDTM equal to the stored ones (then no data connection is opened at all).
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/curl/CurlValidator.h"

namespace curlnet {

enum class Protocol { kHttp, kFtp, kGopher };

// A partial copy to continue, or a complete one to keep while unchanged, as the session
// understood its validator.
struct ResumePlan {
    int64_t offset = 0;      // 0: fetch the whole resource
    bool ifChanged = false;  // with offset 0: only if no longer the version in http or ftp
    HttpValidator http;
    FtpValidator ftp;
};

// The check of one reader's transfers; each Begin starts over for a new one. Not copyable: the
// easy handle holds its address for the FTP command log.
class ResumeCheck {
  public:
    ResumeCheck(Protocol protocol, ResumePlan plan)
        : m_bHttp(protocol == Protocol::kHttp),
          m_bFtp(protocol == Protocol::kFtp),
          m_plan(std::move(plan)) {}
    ResumeCheck(const ResumeCheck&) = delete;
    ResumeCheck& operator=(const ResumeCheck&) = delete;

    const ResumePlan& Plan() const { return m_plan; }

    // Forgets the last transfer's answer: a new transfer starts, from the plan's offset when
    // `fromOffset`. REQUIRES: fromOffset only with a plan offset.
    void Begin(bool fromOffset);
    // Sets on `easy` what the new transfer asks: the bytes from the offset on (HTTP: Range with
    // If-Range; FTP: REST), and for FTP the MDTM and the command log that give the validator.
    // Returns the request headers to send, owned by the caller and freed after the handle; null
    // for none. REQUIRES: Begin first; this check outlives the transfer on `easy`.
    curl_slist* Request(CURL* easy);

    // HTTP: the final headers carried status `code`; true when it is the 304 a conditional
    // request was answered with: the stored version is current, no data follows.
    bool TakeNotModified(long code);
    // Later transfers of this reader (a rewind's) ask unconditionally.
    void AskNoMore() { m_plan.ifChanged = false; }
    // The server vouched for the stored version of a conditional request.
    bool Unchanged() const { return m_bUnchanged; }

    // HTTP: a header line of a response, other than the blank line that ends its block.
    void OnHttpHeader(std::string_view line);
    // HTTP: the final 2xx headers have arrived, with status `code`: where the data starts, and
    // the validator. False (the transfer is to be aborted) for a 206 that does not start where
    // it was asked to; AskedFromOffset() then tells whether the copy cannot be continued or the
    // part was never asked for.
    bool TakeHttpAnswer(CURL* easy, long code);
    // FTP: one line of a server's reply. False aborts the transfer.
    bool OnFtpReply(CURL* easy, std::string_view line);
    // FTP: data arrived. False (abort) for data after REST that no SIZE reply vouched for.
    bool TakeFtpData();
    // The transfer opened with every check passed.
    void Opened();
    // For a transfer that ended with `result`: the server would not, or could not, start at the
    // offset.
    bool RefusedTheOffset(CURL* easy, CURLcode result) const;

    bool AskedFromOffset() const { return m_bFromOffset; }
    // The answer does not continue the partial copy.
    bool CannotContinue() const { return m_bCannotContinue; }
    // Byte of the resource the data of the open transfer starts at.
    int64_t DataStart() const { return m_dataStart; }
    // GetValidator(); empty until the server has told it.
    const std::string& Validator() const { return m_strValidator; }

  private:
    static int DebugCallback(CURL*, curl_infotype type, char* data, size_t n, void* self);

    bool m_bHttp, m_bFtp;
    ResumePlan m_plan;

    // The transfer since the last Begin.
    bool m_bFromOffset = false;      // asked for the bytes from m_plan.offset on
    bool m_bCannotContinue = false;  // the answer does not continue the partial copy
    bool m_bFtpChecked = false;      // FTP: SIZE and MDTM matched m_plan.ftp
    bool m_bUnchanged = false;       // Unchanged()
    int64_t m_dataStart = 0;         // byte of the resource the data starts at
    std::string m_strValidator;      // empty until the server has told it
    struct HttpAnswer {
        std::string etag, lastModified, contentRange;
    } m_answer;                   // HTTP: headers of the response being received
    std::string m_strFtpCommand;  // FTP: the last command sent, until its reply
    int64_t m_nFtpSize = -1;      // FTP: the SIZE reply; -1 unknown
};

}  // namespace curlnet
