// Where the program keeps its own files.
#pragma once

#include <string>

namespace paths {

// The program folder: $POMVEX_HOME when set and not empty, else $HOME/Pomvex. No trailing '/'.
std::string ProgramFolder();
// ProgramFolder() + "/" + name.
std::string InProgramFolder(const std::string& name);

}  // namespace paths
