// How one job of a batch ended, as the transfer leaves it for the batch. The batch decides from
// this value alone (the end-of-batch tally today; later rounds for what may pass), never from the
// log text, so a log line can be reworded without changing what the batch does.
#pragma once

#include <cstdint>

enum class JobOutcome : uint8_t {
    None,          // no job has ended in this slot of the current batch
    Done,          // every byte on disk (download) or the block read and logged (check)
    Refused,       // the server answered with an error status, or with 1 KB or less
    OpenFailed,    // the URL could not be opened (no answer, refused, name unknown, TLS, ...)
    CreateFailed,  // the save file could not be created
    FileError,     // writing the save file failed (full disk, I/O error)
    Broken,        // the transfer failed once open and its error went to the error handler
    Cancelled,     // the user pressed the progress window's cancel
};
