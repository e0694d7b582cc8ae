// One URL's transfer as the batch runs it, on the fake host with the real curl layer. The sink
// stands in for the batch (clock "CLOCK"); an error for the error wrapper becomes its box.
#pragma once

#include <memory>
#include <string>

#include "fake/FakeHost.h"
#include "platform/Exceptions.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Strings.h"
#include "transfer/Transfers.h"
#include "window/ProgressDlg.h"

class RigSink : public JobSink {
  public:
    const std::string& Clock() const override { return clock; }
    void AppendLog(const std::string& text) override { log += text; }
    const std::string& LogText() const override { return log; }
    void UrlOpened() override { opened = true; }
    RateMeter& Rate() override { return rate; }

    std::string clock = "CLOCK";
    std::string log;
    bool opened = false;
    RateMeter rate;
};

class TransferRig {
  public:
    // REQUIRES: host outlives the rig.
    explicit TransferRig(FakeHost& host, const InternetLimits& limits = {})
        : m_host(host),
          m_transfers(host, m_client, SessionOptions{Str(Sid::SessionAgent), limits},
                      [&host] { return std::make_unique<CProgressDlg>(host, 0); }) {}

    // Job `slot` of batch `batch`; the log starts empty.
    JobResult Run(const std::string& url, bool download = true, int slot = 1, uint32_t batch = 1) {
        sink.log.clear();
        sink.opened = false;
        const JobRequest job{url, slot, batch};
        try {
            return download ? m_transfers.Download(job, sink) : m_transfers.Check(job, sink);
        } catch (const CException& e) {
            const std::string text = e.GetErrorMessage();
            m_host.MessageBox(text.empty() ? Str(Sid::InternalFailure) : text, MB_ICONSTOP);
            return JobOutcome::Broken;
        }
    }

    // Whether a job that ended so lets the next tick start the next job at once.
    static bool EndsNormally(JobOutcome o) {
        return o == JobOutcome::Done || o == JobOutcome::UpToDate || o == JobOutcome::Refused;
    }

    RigSink sink;

  private:
    FakeHost& m_host;
    CurlInternetClient m_client;
    Transfers m_transfers;
};
