#include "transfer/CopyLoop.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "resources/Strings.h"

bool CopyBlocks(CInternetFile& file, FileWriter& writer, ProgressView& progress, RateMeter& rate,
                const std::string& name, int64_t& total) {
    // The status line is rebuilt after every block: only the digits change, so it is edited in
    // place in one buffer instead of being concatenated each time.
    const std::string& bytes = Str(Sid::ProgressBytes);
    std::string status = name + Str(Sid::ProgressSaving);
    const size_t digitsAt = status.size();
    status.reserve(digitsAt + 20 + bytes.size());
    // Only a reader without a buffer of its own fills this; the curl and file: readers hand out
    // views into theirs.
    const auto scratch = std::make_unique_for_overwrite<char[]>(kCopyBytes);
    bool cancelled = false;
    while (!cancelled) {
        // What the reader has ready goes to the file from the reader's buffer, after the blocks
        // it holds have been counted one by one, each with its pump and its look at cancel.
        const auto span = file.ReadView(scratch.get(), kCopyBytes);
        if (span.empty()) break;
        size_t counted = 0;
        while (counted < span.size() && !cancelled) {
            const size_t count = std::min(kBlockSize, span.size() - counted);
            counted += count;
            total += static_cast<int64_t>(count);
            rate.Count(static_cast<int64_t>(count));
            progress.SetPos(rate.Rate());
            char digits[24];
            char* end = std::to_chars(digits, digits + sizeof digits, total).ptr;
            status.resize(digitsAt);
            status.append(digits, end).append(bytes);
            progress.SetStatus(status);
            cancelled = progress.CheckCancelButton();
        }
        writer.Write(span.data(), counted);
    }
    return cancelled;
}
