// Where the program keeps its own files.
#pragma once

#include <optional>
#include <string>

namespace paths {

// The user's home folder exactly as the system names it: $HOME when set and not empty, else the
// password database's entry for the user (a scheduler or a service may start the program without
// HOME), else "/tmp".
std::string HomeFolderOnSystem();

// The program folder exactly as the system names it (UTF-8 bytes): $POMVEX_HOME when set and not
// empty, else HomeFolderOnSystem()/Pomvex. No trailing '/'. Taken byte for byte, so the program's
// own files work whatever characters the name holds.
std::string ProgramFolderOnSystem();

// Makes the program folder when it is missing (readable by the user only), then says whether it
// may be used: nullopt when it is the user's own and nobody else may write to it (or it cannot be
// made: each file the program writes there then reports its own failure); else the message
// (CP932) that names the folder and says what to do. Anyone who can write to the folder could
// plant a link that the next save of the log follows, or hold the lock so that the program never
// starts. The start-up shows the message and ends with exit status 1 before it takes the lock.
// Never throws.
std::optional<std::string> ProgramFolderProblem();
// ProgramFolderOnSystem() + "/" + the system form of `name` (CP932 text).
std::string InProgramFolderOnSystem(const std::string& name);

// The program folder as text (CP932). Throws CTextException with the message that names the
// folder and says what to do, when the name has no CP932 form.
std::string ProgramFolder();
// ProgramFolder() + "/" + name; throws like ProgramFolder.
std::string InProgramFolder(const std::string& name);

}  // namespace paths
