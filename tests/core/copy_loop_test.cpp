// The copy loop against a window that serves its queue only now and then: whenever it serves,
// it shows the bytes counted so far, and a cancel is noticed at the block it was seen after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fake/TestFolders.h"
#include "resources/Strings.h"
#include "transfer/CopyLoop.h"

namespace {

// Hands out `data` in pieces of `piece` bytes.
class Pieces : public CInternetFile {
  public:
    Pieces(std::string data, size_t piece) : m_data(std::move(data)), m_piece(piece) {}
    size_t Read(void* buf, size_t n) override {
        const size_t k = std::min({n, m_piece, m_data.size() - m_pos});
        std::memcpy(buf, m_data.data() + m_pos, k);
        m_pos += k;
        return k;
    }
    void SeekToBegin() override { m_pos = 0; }
    uint32_t QueryDataAvailable() override { return 0; }
    std::string GetFileName() const override { return "f"; }
    void Close() override {}

  private:
    std::string m_data;
    size_t m_piece, m_pos = 0;
};

// Serves its queue at every `every`-th pump call, as a host that paces its passes does, and
// notes the status line each serve shows against the count at that moment. Its cancel button
// is pressed during serve `cancelAt`.
class Window : public ProgressView {
  public:
    Window(const RateMeter& counted, int every, int cancelAt)
        : m_counted(counted), m_every(every), m_cancelAt(cancelAt) {}
    bool Create() override { return true; }
    void SetStatus(const std::string& text) override { status = text; }
    int SetPos(int) override { return Pump(), 0; }
    bool CheckCancelButton() override { return Pump(), std::exchange(m_pressed, false); }
    bool PumpDue() const override { return (m_calls + 1) % m_every == 0; }
    bool DestroyWindow() override { return true; }

    std::string status;
    std::vector<std::pair<std::string, int64_t>> shown;  // a serve's line and the count then

  private:
    void Pump() {
        if (++m_calls % m_every != 0) return;
        shown.emplace_back(status, m_counted.BytesSinceSample());
        m_pressed |= static_cast<int>(shown.size()) == m_cancelAt;
    }
    const RateMeter& m_counted;
    int m_every, m_cancelAt, m_calls = 0;
    bool m_pressed = false;
};

std::string Status(int64_t total) {
    return "f" + Str(Sid::ProgressSaving) + std::to_string(total) + Str(Sid::ProgressBytes);
}

TEST(CopyLoop, EveryServeShowsTheCountSoFarAndCancelStopsAtItsBlock) {
    const struct {
        const char* name;
        size_t size, piece;
        int every, cancelAt;
        int64_t copied;
    } rows[] = {
        {"served after every block", 5000, 5000, 1, 0, 5000},
        {"served now and then, pieces across blocks", 10000, 1500, 3, 0, 10000},
        {"cancel pressed in block 2's first serve", 10000, 4096, 1, 3, 2048},
        {"cancel on a rare serve, in block 13", 40000, 16384, 7, 2, 13 * 1024},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        std::string data(row.size, '\0');
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
        Pieces file(data, row.piece);
        RateMeter rate;
        Window window(rate, row.every, row.cancelAt);
        int64_t total = 0;
        bool cancelled = false;
        {
            CFile out;
            ASSERT_TRUE(out.Open(dir / "out", CFile::modeCreate | CFile::modeWrite));
            FileWriter writer(out, kCopyBytes);
            cancelled = CopyBlocks(file, writer, window, rate, "f", total);
            writer.Flush();
        }
        EXPECT_EQ(cancelled, row.cancelAt > 0);
        EXPECT_EQ(total, row.copied);
        EXPECT_TRUE(ReadFileBytes(dir / "out") == data.substr(0, row.copied))
            << "the file must hold the counted blocks, a cancelled one too";
        EXPECT_EQ(window.status, Status(total)) << "the last count stays on the line";
        ASSERT_FALSE(window.shown.empty());
        for (const auto& [line, counted] : window.shown)
            EXPECT_EQ(line, Status(counted)) << "a serve showed an older count";
    }
}

}  // namespace
