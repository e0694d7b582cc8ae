// The line rule, row by row, through both readers: LineReader over a real file (with the
// program's 4096-byte buffer and with tiny buffers that put every byte on a boundary) and
// SplitLines over memory. Both must give the same lines for the same bytes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "batch_support.h"
#include "platform/Lines.h"

namespace {

using Lines = std::vector<std::string>;

struct Row {
    const char* name;
    std::string input;
    Lines expected;
};

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out.size() > 80 ? out.substr(0, 60) + "...(" + std::to_string(s.size()) + " bytes)"
                           : out;
}

std::string Printable(const Lines& lines) {
    std::string out = "[";
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? ", \"" : "\"") + Printable(lines[i]) + "\"";
    return out + "]";
}

std::vector<Row> Rows() {
    const std::string a4095(4095, 'a');
    const std::string a4094(4094, 'a');
    const std::string big(10000, 'x');
    return {
        {"Empty", "", {}},
        {"OneLineNoEnd", "abc", {"abc"}},
        {"CrLf", "a\r\nb\r\n", {"a", "b"}},
        {"CrLfLastLineOpen", "a\r\nb", {"a", "b"}},
        {"LoneLf", "a\nb\n", {"a", "b"}},
        {"LoneCrTakesNextByte", "a\rXb\r\n", {"aX", "b"}},
        {"CrCrKeepsSecondCr", "a\r\rb", {"a\r", "b"}},
        {"CrAtEnd", "a\r", {"a"}},
        {"CrThenCrLf", "a\r\r\nb", {"a\r", "", "b"}},
        {"LfCr", "a\n\rb", {"a", "b"}},
        {"OnlyCrLf", "\r\n", {""}},
        {"EmptyLinesBetween", "a\r\n\r\n\r\nb\r\n", {"a", "", "", "b"}},
        {"LeadingEmptyLine", "\r\nb", {"", "b"}},
        {"OnlyLfs", "\n\n", {"", ""}},
        {"BlanksKept", "  a \r\n \r\n", {"  a ", " "}},
        {"BytesUntouched",
         std::string("\x82\xa0\x00\xff\r\n", 6),
         {std::string("\x82\xa0\x00\xff", 4)}},
        {"Cp932TrailIsNotLf", "\x81\x0a", {"\x81"}},  // bytes, not characters: 0x0A still ends it
        {"TenThousandBytes", big + "\r\nz", {big, "z"}},
        {"CrLastByteOfBuffer", a4095 + "\r\nb", {a4095, "b"}},
        {"LoneCrLastByteOfBuffer", a4095 + "\rXb", {a4095 + "X", "b"}},
        {"CrLfSplitAfterBuffer", a4094 + "\r\n" + "b", {a4094, "b"}},
        {"CrLastByteOfFile", a4095 + "\r", {a4095}},
        {"LineSpansBuffers", std::string(9000, 'q') + "\nr", {std::string(9000, 'q'), "r"}},
    };
}

class LineRule : public ::testing::TestWithParam<Row> {};

Lines ReadFileLines(const std::string& path, size_t bufferSize) {
    CFile file;
    CFileException error(0, "");
    EXPECT_TRUE(file.Open(path, CFile::modeRead, &error)) << Printable(error.GetErrorMessage());
    LineReader reader(file, bufferSize);
    Lines lines;
    std::string line = "stale";
    while (reader.ReadString(line)) lines.push_back(line);
    EXPECT_EQ(line, "") << "the line buffer after the end";
    // The end is sticky: asking again does not invent a line.
    EXPECT_FALSE(reader.ReadString(line));
    return lines;
}

TEST_P(LineRule, SplitLinesAndLineReaderAgree) {
    const Row& row = GetParam();
    SCOPED_TRACE("input: \"" + Printable(row.input) + "\"");

    Lines got = SplitLines(row.input);
    EXPECT_EQ(got, row.expected) << "SplitLines got " << Printable(got) << "\n expected "
                                 << Printable(row.expected);

    char tmpl[] = "/tmp/pomvex-lines-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    ::close(fd);
    batch_test::WriteFileBytes(tmpl, row.input);
    for (size_t bufferSize : {size_t{4096}, size_t{1}, size_t{2}, size_t{3}}) {
        got = ReadFileLines(tmpl, bufferSize);
        EXPECT_EQ(got, row.expected) << "LineReader(buffer " << bufferSize << ") got "
                                     << Printable(got) << "\n expected " << Printable(row.expected);
    }
    ::unlink(tmpl);
}

INSTANTIATE_TEST_SUITE_P(Rows, LineRule, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// A read error in the middle of the data reaches the caller as CFileException.
TEST(LineReaderErrors, ReadFailureThrows) {
    CFile file;
    ASSERT_TRUE(file.Open("/proc/self/mem", CFile::modeRead));  // reading offset 0 gives EIO
    LineReader reader(file);
    std::string line;
    try {
        reader.ReadString(line);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_strFileName, "/proc/self/mem");
        EXPECT_EQ(e.m_cause, CFileException::hardIO) << "errno " << e.m_lOsError;
    }
}

}  // namespace
