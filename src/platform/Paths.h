// Where the program keeps its own files.
#pragma once

#include <string>

namespace paths {

// The program folder exactly as the system names it (UTF-8 bytes): $POMVEX_HOME when set and not
// empty, else $HOME/Pomvex. No trailing '/'. Taken byte for byte, so the program's own files work
// whatever characters the name holds.
std::string ProgramFolderOnSystem();
// ProgramFolderOnSystem() + "/" + the system form of `name` (CP932 text).
std::string InProgramFolderOnSystem(const std::string& name);

// The program folder as text (CP932). Throws CTextException with the message that names the
// folder and says what to do, when the name has no CP932 form.
std::string ProgramFolder();
// ProgramFolder() + "/" + name; throws like ProgramFolder.
std::string InProgramFolder(const std::string& name);

}  // namespace paths
