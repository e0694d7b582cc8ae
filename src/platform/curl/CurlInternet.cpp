// The client and its sessions: which reader opens a URL, and the plan of a continued download.
#include "platform/curl/CurlInternet.h"

#include <curl/curl.h>

#include <mutex>

#include "platform/curl/CurlErrorText.h"
#include "platform/curl/CurlResumeCheck.h"
#include "platform/curl/CurlUrl.h"
#include "platform/curl/CurlUrlFile.h"
#include "platform/curl/CurlValidator.h"
#include "platform/curl/LocalUrlFile.h"

namespace {

using curlnet::Protocol;
using curlnet::ResumePlan;
using WaitHook = CurlInternetClient::WaitHook;

class CurlSession : public CInternetSession {
  public:
    CurlSession(SessionOptions options, WaitHook waitHook)
        : m_options(std::move(options)), m_waitHook(std::move(waitHook)) {}

    std::unique_ptr<CInternetFile> OpenURL(const std::string& text) override {
        return Open(text, nullptr);
    }

    std::unique_ptr<CInternetFile> OpenURLFrom(const std::string& text,
                                               const ResumeFrom& resume) override {
        return Open(text, resume.offset > 0 ? &resume : nullptr);
    }

    std::unique_ptr<CInternetFile> OpenURLIfChanged(const std::string& text,
                                                    const std::string& validator) override {
        const ResumeFrom stored{0, validator};
        return Open(text, &stored);
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
    // `resume` may be null; an offset of 0 asks for the whole resource unless it is still the
    // version resume->validator names. A validator of another protocol, or of no kind this layer
    // writes, leaves nothing to compare: the whole resource. gopher and file: are always read
    // whole.
    std::unique_ptr<CInternetFile> Open(const std::string& text, const ResumeFrom* resume) {
        curlnet::UrlParts parts = curlnet::SplitUrl(text);
        if (parts.scheme == "file")
            return std::make_unique<curlnet::LocalUrlFile>(parts.localPath, parts.fileName);
        if (parts.scheme != "http" && parts.scheme != "https" && parts.scheme != "ftp" &&
            parts.scheme != "gopher") {
            curlnet::ThrowUnsupportedScheme(parts.scheme);
        }
        const std::string& scheme = parts.scheme;
        const std::string& fileName = parts.fileName;
        curlnet::UrlPtr url(parts.url);
        parts.url = nullptr;
        Protocol protocol = scheme == "ftp"      ? Protocol::kFtp
                            : scheme == "gopher" ? Protocol::kGopher
                                                 : Protocol::kHttp;
        ResumePlan plan;
        if (resume && resume->offset >= 0) {
            bool parsed = false;
            if (protocol == Protocol::kHttp) {
                if (auto v = curlnet::ParseHttpValidator(resume->validator)) {
                    plan.http = *v;
                    parsed = true;
                }
            } else if (protocol == Protocol::kFtp) {
                if (auto v = curlnet::ParseFtpValidator(resume->validator)) {
                    plan.ftp = *v;
                    parsed = true;
                }
            }
            if (parsed) {
                plan.offset = resume->offset;
                plan.ifChanged = resume->offset == 0;
            }
        }
        return std::make_unique<curlnet::CurlUrlFile>(m_options, std::move(url), protocol, fileName,
                                                      m_waitHook, std::move(plan));
    }

    SessionOptions m_options;
    WaitHook m_waitHook;
};

}  // namespace

CurlInternetClient::CurlInternetClient() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlInternetClient::~CurlInternetClient() = default;

std::unique_ptr<CInternetSession> CurlInternetClient::OpenSession(const SessionOptions& options) {
    return std::make_unique<CurlSession>(options, m_waitHook);
}
