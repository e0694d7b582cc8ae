#include "platform/FileMark.h"

#include <sys/xattr.h>

#include <cerrno>

#include "platform/OsPath.h"

namespace filemark {

bool Set(const std::string& path, const char* name, std::string_view value) {
    auto system = ospath::TryToSystemExpandingHome(path);
    return system && ::setxattr(system->c_str(), name, value.data(), value.size(), 0) == 0;
}

std::optional<std::string> Get(const std::string& path, const char* name) {
    auto system = ospath::TryToSystemExpandingHome(path);
    if (!system) return std::nullopt;
    // The size may change between the two calls (another writer): ask again while it grows.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ssize_t size = ::getxattr(system->c_str(), name, nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string value(static_cast<size_t>(size), '\0');
        ssize_t got = ::getxattr(system->c_str(), name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return value;
        }
        if (errno != ERANGE) return std::nullopt;
    }
    return std::nullopt;
}

void Remove(const std::string& path, const char* name) {
    if (auto system = ospath::TryToSystemExpandingHome(path)) ::removexattr(system->c_str(), name);
}

}  // namespace filemark
