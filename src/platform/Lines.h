// The program's line rule, and the two ways it is read: from an open file (the lists and the job
// table) and from bytes held in memory (in-memory checks and fuzzing). The rule: LF ends a line;
// CR ends a line and the byte after it is read too (dropped if LF, else kept as the line's last
// byte); no length limit; a final unterminated line is delivered; an empty remainder is not a
// line. Bytes are taken as they are, never as characters. Both readers apply the one rule in
// Lines.cpp, so they cannot drift apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"

// Buffered reader over a CFile opened for reading, delivering lines by the line rule.
class LineReader {
  public:
    // REQUIRES: file outlives the reader and is open for reading.
    explicit LineReader(CFile& file, size_t bufferSize = 4096) : m_file(file), m_buf(bufferSize) {}
    // Empties `line`, then fills it with the next line. Returns false only at end of data before
    // any byte of a new line; asking again after that returns false again. Throws CFileException
    // (with `line` holding what was read of the line so far).
    bool ReadString(std::string& line);

  private:
    // Next byte, or -1 at end of data.
    int Next();
    CFile& m_file;
    std::vector<char> m_buf;
    size_t m_pos = 0, m_len = 0;
};

// Every line of `data` by the line rule; no data gives no lines.
std::vector<std::string> SplitLines(std::string_view data);
