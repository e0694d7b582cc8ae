// The copy phase of a download: every byte the reader hands out goes to the save file, counted
// in 1024-byte blocks, with the window served and the cancel button looked at after each block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/File.h"
#include "platform/Internet.h"
#include "transfer/ProgressView.h"
#include "transfer/RateMeter.h"

// The block a download counts, pumps and looks at cancel by; the first block is judged by it too.
inline constexpr size_t kBlockSize = 1024;
// The writer's buffer, which gathers the library's 16 KiB pieces: one write() call's worth, as
// much as the library reads from the socket at once. Smaller writes cost more calls; larger ones
// outgrow the CPU cache and make the kernel's copy into the page cache slower
// (docs/PERFORMANCE.md has the measurement).
inline constexpr size_t kCopyBytes = 256 * 1024;

// Copies from `file` into `writer` until the data ends or the user cancels; returns true when
// cancelled. The blocks are counted where the reader offers them (CInternetFile::ReadInto),
// in the library's own buffer. `total` counts the bytes of the whole resource (it starts at what is
// on disk); the status line reads "<name>...<total> bytes". A cancelled block is still written.
// Read errors and write errors leave by throwing, with what was counted passed to the writer.
// REQUIRES: the progress window and the rate timer are running.
bool CopyBlocks(CInternetFile& file, FileWriter& writer, ProgressView& progress, RateMeter& rate,
                const std::string& name, int64_t& total);
