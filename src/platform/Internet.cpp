#include "platform/Internet.h"

#include <memory>

bool CInternetFile::ReadInto(DataSink& sink) {
    // For a reader without a buffer of its own.
    constexpr size_t kScratch = 64 * 1024;
    const auto scratch = std::make_unique_for_overwrite<char[]>(kScratch);
    for (;;) {
        const std::span<const char> piece = ReadView(scratch.get(), kScratch);
        if (piece.empty()) return false;
        if (!sink.Take(piece)) return true;
    }
}
