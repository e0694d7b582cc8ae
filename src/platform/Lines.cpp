// The line rule and its two readers. The rule is one function over a byte source, so the file
// reader (buffer by buffer) and the in-memory splitter cannot disagree about any byte, including
// a CR that is the last byte of a buffer or of the data.
#include "platform/Lines.h"

namespace {

// The line rule, once. `next` yields the next byte (0..255) or -1 at the end of the data; it is
// asked for no byte beyond the one after a CR, so a reader left mid-data resumes exactly there.
// Empties `line`, then fills it; false only when the data ends before a new line begins.
template <class NextByte>
bool TakeLine(NextByte&& next, std::string& line) {
    line.clear();
    int c = next();
    if (c < 0) return false;
    for (; c >= 0; c = next()) {
        if (c == '\n') return true;
        if (c == '\r') {
            int after = next();
            if (after >= 0 && after != '\n') line.push_back(static_cast<char>(after));
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    return true;
}

}  // namespace

int LineReader::Next() {
    if (m_pos == m_len) {
        m_len = m_file.Read(m_buf.data(), m_buf.size());
        m_pos = 0;
        if (m_len == 0) return -1;
    }
    return static_cast<unsigned char>(m_buf[m_pos++]);
}

bool LineReader::ReadString(std::string& line) {
    return TakeLine([this] { return Next(); }, line);
}

std::vector<std::string> SplitLines(std::string_view data) {
    size_t i = 0;
    auto next = [&] { return i < data.size() ? static_cast<unsigned char>(data[i++]) : -1; };
    std::vector<std::string> lines;
    std::string line;
    while (TakeLine(next, line)) lines.push_back(std::move(line));
    return lines;
}
