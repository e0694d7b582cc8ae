#include "transfer/CopyLoop.h"

#include <algorithm>
#include <charconv>
#include <span>

#include "resources/Strings.h"

namespace {

// Counts the pieces the reader offers in blocks, each with its pump and its look at cancel, and
// writes the counted blocks to the file from where the piece lies (the reader's buffer or the
// network library's).
class BlockCopy final : public DataSink {
  public:
    // REQUIRES: every argument outlives the copy.
    BlockCopy(FileWriter& writer, ProgressView& progress, RateMeter& rate, const std::string& name,
              int64_t& total)
        : m_writer(writer),
          m_progress(progress),
          m_rate(rate),
          m_total(total),
          m_status(name + Str(Sid::ProgressSaving)),
          m_digitsAt(m_status.size()) {
        m_status.reserve(m_digitsAt + 20 + Str(Sid::ProgressBytes).size());
    }

    bool Take(std::span<const char> piece) override {
        size_t counted = 0;
        while (counted < piece.size() && !m_bCancelled) {
            const size_t count = std::min(kBlockSize, piece.size() - counted);
            counted += count;
            Count(count);
        }
        // The reader may serve the queue while it waits for the next piece.
        if (counted > 0) SetStatus();
        m_writer.Write(piece.data(), counted);  // a cancelled block is still written
        return !m_bCancelled;
    }
    bool Cancelled() const { return m_bCancelled; }

  private:
    void Count(size_t count) {
        m_total += static_cast<int64_t>(count);
        m_rate.Count(static_cast<int64_t>(count));
        // The window shows what was set when the queue is served, every few milliseconds: the
        // status line and the bar are set before such a pass, not for blocks nobody sees.
        if (m_progress.PumpDue()) {
            SetStatus();
            m_progress.SetPos(m_rate.Rate());
        }
        m_bCancelled = m_progress.CheckCancelButton();
    }
    void SetStatus() {
        // Only the digits change: edited in place in one buffer instead of concatenated.
        char digits[24];
        char* end = std::to_chars(digits, digits + sizeof digits, m_total).ptr;
        m_status.resize(m_digitsAt);
        m_status.append(digits, end).append(Str(Sid::ProgressBytes));
        m_progress.SetStatus(m_status);
    }

    FileWriter& m_writer;
    ProgressView& m_progress;
    RateMeter& m_rate;
    int64_t& m_total;
    std::string m_status;  // "<name>...<total> bytes", rebuilt from m_digitsAt on
    const size_t m_digitsAt;
    bool m_bCancelled = false;
};

}  // namespace

bool CopyBlocks(CInternetFile& file, FileWriter& writer, ProgressView& progress, RateMeter& rate,
                const std::string& name, int64_t& total) {
    BlockCopy copy(writer, progress, rate, name, total);
    file.ReadInto(copy);
    return copy.Cancelled();
}
