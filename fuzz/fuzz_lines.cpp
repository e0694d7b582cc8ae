// The line rule must deliver every byte of the input except line ends, never crash, and agree
// between the in-memory splitter and the buffered file reader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    auto lines = SplitLines(in);

    size_t kept = 0;
    for (const auto& l : lines) kept += l.size();
    if (kept > size) abort();
    if (size == 0 && !lines.empty()) abort();

    static std::string path = [] {
        char tmpl[] = "/tmp/pomvex-fuzz-lines-XXXXXX";
        int fd = mkstemp(tmpl);
        close(fd);
        return std::string(tmpl);
    }();
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(data, 1, size, f);
    fclose(f);

    CFile file;
    if (!file.Open(path, CFile::modeRead)) abort();
    LineReader reader(file, 7);  // a tiny buffer puts line ends on every boundary
    std::string line;
    size_t i = 0;
    while (reader.ReadString(line)) {
        if (i >= lines.size() || lines[i] != line) abort();
        ++i;
    }
    if (i != lines.size()) abort();
    return 0;
}
