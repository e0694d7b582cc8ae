#include "platform/Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/OsPath.h"
#include "resources/Strings.h"

namespace paths {

std::string HomeFolderOnSystem() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(hint > 0 ? static_cast<size_t>(hint) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buf.data(), buf.size(), &found) == ERANGE)
        buf.resize(buf.size() * 2);
    // "/tmp" only where the system knows no home for the user; ProgramFolderProblem refuses a
    // Pomvex folder there that someone else made first.
    if (found && found->pw_dir && *found->pw_dir) return found->pw_dir;
    return "/tmp";
}

std::string ProgramFolderOnSystem() {
    const char* home = std::getenv("POMVEX_HOME");
    if (home && *home) {
        std::string s(home);
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    }
    std::string base = HomeFolderOnSystem();
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/Pomvex";
}

std::optional<std::string> ProgramFolderProblem() {
    const std::string folder = ProgramFolderOnSystem();
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
    const std::string shown = ospath::Displayable(folder);
    if (st.st_uid != ::geteuid()) return FormatStr(Sid::ProgramFolderNotOwn, {shown});
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return FormatStr(Sid::ProgramFolderShared, {shown});
    return std::nullopt;
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
