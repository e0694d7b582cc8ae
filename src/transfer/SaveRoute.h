// Where the bytes of one download go, and what a partial copy left by an earlier run lets it
// continue.
//
// A download over a file the user already has writes beside it, into "<name>.part", and takes
// the file's place by a rename only once it is complete: a broken transfer, a full disk or a
// cancel never destroys the old copy, and what arrived is kept in the .part. A symbolic link at
// the name (dangling or not, one an unpacked archive brought, say) is replaced the same way: the
// rename puts the file in the link's place, and the file the link points at, wherever it is, is
// never opened. A new name is written in place, created exclusively: a file or link that appears
// there meanwhile is never truncated. A target that is neither a regular file nor a link (a
// folder, a FIFO, a device) is refused by the open at once, without waiting for a FIFO's reader.
// Neither the target nor the .part is ever opened through a link.
//
// The file being written carries a partial mark (its URL without password, and the server's
// validator) from before its first byte until it is complete; a complete download carries its
// origin (user.xdg.origin.url, without user name or password) instead. A later download of the
// same URL into the same folder that finds a marked file asks the server only for the rest.
// A complete download also records what identifies the version it got, with the size and
// modification time the file had when it was done: a later download of the same URL that finds
// the file so, untouched since, asks the server for it only if it has changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Internet.h"

struct SaveRoute {
    std::string target;         // the path the log names ("保存先")
    std::string writePath;      // target, or its "<name>.part" (renamed to target when complete),
                                // the name cut where the suffix would not fit the folder
    bool guardsTarget = false;  // an existing target is held while its replacement is written
    bool marks = false;         // writePath is a regular file of ours: it carries the marks
    bool createsNew = false;    // writePath was missing: it is created, never opened if it exists
    std::optional<ResumeFrom> resume;  // what writePath already holds of this URL
    std::string ifChanged;  // the validator of the complete, untouched copy of this URL at
                            // target; empty: none (or resume is set)
};

// The route of a download of `url` (CP932, as the job table holds it) to `target`. Looks at
// the files and their marks only; changes nothing. A URL with no CP932 form, or a gopher or
// file: URL (always copied from byte 0), never resumes nor is kept as up to date. Never throws.
SaveRoute PlanSave(const std::string& target, const std::string& url);

// Makes the folder of route.writePath (with its parents) when it is missing, then opens
// route.writePath for the bytes of a transfer whose data starts at byte `from`: 0
// empties the file (creates it, for a route that createsNew), route.resume->offset appends to
// it (a file whose length is no longer that offset fails). For a route that guards its target,
// `guard` holds the target exclusively, as an in-place create would, so a file held by another
// writer or not writable is not replaced. Any other `from` fails, and so does anything but a
// regular file at either name (a link, a FIFO, a device, a folder): at once, never waiting.
// Returns false and fills *error on failure; never throws.
// REQUIRES: out and guard not open. guard stays open until the save is completed or abandoned.
bool OpenSaveFile(const SaveRoute& route, int64_t from, CFile& out, CFile& guard,
                  CFileException* error);

// Marks route.writePath as a partial copy of `url` at the server's `validator` (may be empty:
// then the copy cannot be continued). Silent where marks cannot be stored.
void MarkPartial(const SaveRoute& route, const std::string& url, const std::string& validator);

// The copy is complete and closed: the partial mark gives way to the origin and, when the server
// gave one, the `validator` of this version with the file's size and time; a .part takes the
// target's place. Throws CFileException when the rename fails (the .part then stays).
void CompleteSave(const SaveRoute& route, const std::string& url, const std::string& validator);

// The partial mark of the file at `path`, if it has one.
struct PartialMark {
    std::string url;  // UrlWithoutCredentials(url, true)
    std::string validator;
};
std::optional<PartialMark> ReadPartialMark(const std::string& path);
