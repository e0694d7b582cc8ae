#include "platform/Paths.h"

#include <cstdlib>

namespace paths {

std::string ProgramFolder() {
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

std::string InProgramFolder(const std::string& name) { return ProgramFolder() + "/" + name; }

}  // namespace paths
