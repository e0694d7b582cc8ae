// Files the program replaces as a whole (a list file, the staging copy of the list, the log):
// the new bytes go to a temporary file beside the target, are flushed and fsync'ed, and take the
// target's name by a rename only once they are all on disk. A full disk, a crash or a power cut
// therefore leaves either the old file or the new one, never a part of either; a failure removes
// the temporary file again.
#pragma once

#include <string>
#include <string_view>

#include "platform/Exceptions.h"

// Replaces the content of the file `path` (CP932 text, "~" as in CFile::Open) with `bytes`.
// Returns false and fills *error (if given) when the file cannot be created: wherever an
// in-place create would have failed (a missing folder, a folder in its place, a text that is not
// CP932), and where an existing target could not be opened for writing or is held by another
// writer. Throws CFileException naming `path` when a write, the flush, the sync or the rename
// fails; the old file is then as it was. A new file is readable and writable by its owner only
// (0600: the list and the log may hold what the user typed, passwords too); an existing one keeps
// its mode and owner. A symbolic link is followed (the file it names is replaced, the link
// stays); a device is written in place, as a rename over it would replace more than its content,
// and a FIFO or socket is refused at once (CFile::Open); an existing file in a folder that takes
// no new file for another reason than room is written in place too.
bool ReplaceFileContents(const std::string& path, std::string_view bytes,
                         CFileException* error = nullptr);

// The same for a name exactly as the system spells it (the program's own files); errors name it
// by ospath::Displayable.
bool ReplaceFileContentsOnSystem(const std::string& systemPath, std::string_view bytes,
                                 CFileException* error = nullptr);
