// The checks that decide whether a transfer's data continues a partial copy, and the validator of
// the version that arrives.
#include "platform/curl/CurlResumeCheck.h"

namespace curlnet {

void ResumeCheck::Begin(bool fromOffset) {
    m_bFromOffset = fromOffset;
    m_bCannotContinue = false;
    m_bFtpChecked = false;
    m_bUnchanged = false;
    m_dataStart = 0;
    m_strValidator.clear();
    m_answer = {};
    m_strFtpCommand.clear();
    m_nFtpSize = -1;
}

curl_slist* ResumeCheck::Request(CURL* e) {
    const bool fromOffset = m_bFromOffset;
    curl_slist* headers = nullptr;
    if (m_bHttp && fromOffset) {
        // "Range: bytes=<offset>-", valid only while the stored validator still holds.
        const std::string range = std::to_string(m_plan.offset) + "-";
        curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());  // curl copies the string
        const std::string ifRange = "If-Range: " + IfRangeValue(m_plan.http);
        headers = curl_slist_append(nullptr, ifRange.c_str());
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    } else if (m_bHttp && m_plan.ifChanged) {
        // The ETag names the version exactly; a date only to the second.
        const std::string condition = m_plan.http.etag.empty()
                                          ? "If-Modified-Since: " + m_plan.http.lastModified
                                          : "If-None-Match: " + m_plan.http.etag;
        headers = curl_slist_append(nullptr, condition.c_str());
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    }
    if (m_bFtp) {
        // MDTM for the validator. The command log tells which reply answers SIZE, the moment
        // to compare before REST goes out.
        curl_easy_setopt(e, CURLOPT_FILETIME, 1L);
        curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, &ResumeCheck::DebugCallback);
        curl_easy_setopt(e, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
        if (fromOffset)
            curl_easy_setopt(e, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(m_plan.offset));
    }
    return headers;
}

bool ResumeCheck::TakeNotModified(long code) {
    if (code == 304 && m_plan.ifChanged && !m_bFromOffset) m_bUnchanged = true;
    return m_bUnchanged;
}

void ResumeCheck::OnHttpHeader(std::string_view line) {
    if (line.substr(0, 5) == "HTTP/") {
        m_answer = {};  // a new response: its own headers only
    } else if (auto v = HeaderValue(line, "ETag")) {
        m_answer.etag = *v;
    } else if (auto v = HeaderValue(line, "Last-Modified")) {
        m_answer.lastModified = *v;
    } else if (auto v = HeaderValue(line, "Content-Range")) {
        m_answer.contentRange = *v;
    }
}

bool ResumeCheck::TakeHttpAnswer(CURL* easy, long code) {
    HttpValidator got;
    if (IsStrongEtag(m_answer.etag)) got.etag = m_answer.etag;
    got.lastModified = m_answer.lastModified;
    if (code == 206) {
        const int64_t want = m_bFromOffset ? m_plan.offset : 0;
        auto range = ParseContentRange(m_answer.contentRange);
        // The part must run from `want` to the end of the resource. A stored length is a
        // second check for a date validator, which has only whole seconds.
        bool same = range && range->first == want &&
                    (range->total < 0 || range->last + 1 == range->total) &&
                    (!m_bFromOffset || range->total < 0 || m_plan.http.length < 0 ||
                     range->total == m_plan.http.length);
        if (!same) {
            if (m_bFromOffset) m_bCannotContinue = true;
            return false;
        }
        got.length = range->total;
        m_dataStart = want;
    } else {
        curl_off_t length = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        got.length = length;
        m_dataStart = 0;
    }
    m_strValidator = FormatHttpValidator(got);
    if (m_strValidator.empty() && m_dataStart > 0) {
        // The server matched If-Range, so the stored version is this one.
        m_strValidator = FormatHttpValidator(m_plan.http);
    }
    return true;
}

int ResumeCheck::DebugCallback(CURL*, curl_infotype type, char* data, size_t n, void* self) {
    if (type == CURLINFO_HEADER_OUT) {
        std::string_view command(data, n);
        static_cast<ResumeCheck*>(self)->m_strFtpCommand =
            command.substr(0, command.find_first_of(" \r\n"));
    }
    return 0;
}

// The reply to SIZE comes after MDTM's and before REST is sent: the validator is complete then,
// and a resumed transfer must match it.
bool ResumeCheck::OnFtpReply(CURL* easy, std::string_view line) {
    // The last line of a reply: "213 5000"; "213-" begins a longer one.
    if (line.size() < 4 || line[3] != ' ' || m_strFtpCommand != "SIZE") return true;
    std::string_view value = line.substr(4);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.remove_suffix(1);
    if (line.substr(0, 3) == "213") m_nFtpSize = ParseCount(value).value_or(-1);
    curl_off_t mtime = -1;
    curl_easy_getinfo(easy, CURLINFO_FILETIME_T, &mtime);
    m_strValidator = FormatFtpValidator({m_nFtpSize, mtime});
    m_strFtpCommand.clear();  // one reply per command
    // The server's file is the version the plan knows (the partial copy's, or the complete one's).
    const bool sameVersion =
        !m_strValidator.empty() && m_nFtpSize == m_plan.ftp.size && mtime == m_plan.ftp.mtime;
    if (!m_bFromOffset) {
        // The stored version is current: the transfer ends here, before RETR.
        m_bUnchanged = m_plan.ifChanged && sameVersion;
        return !m_bUnchanged;
    }
    m_bFtpChecked = sameVersion;
    if (!m_bFtpChecked) m_bCannotContinue = true;
    return m_bFtpChecked;
}

bool ResumeCheck::TakeFtpData() {
    if (m_bFromOffset && !m_bFtpChecked) {
        // Data after REST that no SIZE reply vouched for: not known to continue the copy.
        m_bCannotContinue = true;
        return false;
    }
    return true;
}

void ResumeCheck::Opened() {
    if (m_bFromOffset && m_bFtp) m_dataStart = m_plan.offset;  // the SIZE check passed
}

bool ResumeCheck::RefusedTheOffset(CURL* easy, CURLcode result) const {
    if (m_bHttp && result == CURLE_HTTP_RETURNED_ERROR) {
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        return code == 416;  // Range Not Satisfiable: the copy is not a prefix any more
    }
    return result == CURLE_FTP_COULDNT_USE_REST || result == CURLE_BAD_DOWNLOAD_RESUME ||
           result == CURLE_RANGE_ERROR;
}

}  // namespace curlnet
