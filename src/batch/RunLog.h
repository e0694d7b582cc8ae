// The run log: every line a batch writes (CP932, CR LF lines), and its copy on disk, Pomvex.log.
#pragma once

#include <optional>
#include <string>

#include "platform/Host.h"

class RunLog {
  public:
    void Append(const std::string& text) { m_strLog += text; }
    // The one place a batch's log begins: its first job.
    void Clear() { m_strLog.clear(); }
    const std::string& Text() const { return m_strLog; }

    // Writes the log to Pomvex.log, replacing it whole. A write that fails is told in a box
    // (once per log text: a refusal that ends the batch and the batch's end write the same text)
    // and goes no further: the caller goes on, and the old file stays as it was.
    void Save(Host& host);

  private:
    std::string m_strLog;  // the run log
    // The log text whose failed write Save last told in a box; nullopt once a write succeeds.
    std::optional<std::string> m_strLogUnsaved;
};
