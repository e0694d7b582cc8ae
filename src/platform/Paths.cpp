#include "platform/Paths.h"

#include <cstdlib>

#include "platform/Exceptions.h"
#include "platform/OsPath.h"
#include "resources/Strings.h"

namespace paths {

std::string ProgramFolderOnSystem() {
    const char* home = std::getenv("POMVEX_HOME");
    if (home && *home) {
        std::string s(home);
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    const char* user = std::getenv("HOME");
    std::string base = (user && *user) ? user : "/tmp";
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/Pomvex";
}

std::string InProgramFolderOnSystem(const std::string& name) {
    return ProgramFolderOnSystem() + "/" + ospath::ToSystem(name);
}

std::string ProgramFolder() {
    std::string system = ProgramFolderOnSystem();
    if (auto text = ospath::FromSystem(system)) return *text;
    throw CTextException(FormatStr(Sid::FolderNotShowable, {ospath::Displayable(system)}));
}

std::string InProgramFolder(const std::string& name) {
    return ProgramFolder() + "/" + name;
}

}  // namespace paths
