// Marks that live with a file: extended attributes in the "user." namespace. A file system
// without user attributes, a file that is gone or a path with no CP932 form simply carries no
// mark; no call here ever reports a failure, and the program works on without the mark.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace filemark {

// Sets attribute `name` (e.g. "user.xdg.origin.url") of the file at `path` (CP932 text, given
// to the system through ospath) to `value`, bytes as they are. Returns whether it was stored.
bool Set(const std::string& path, const char* name, std::string_view value);

// The value of attribute `name`, or nullopt when the file has none (or cannot have one).
std::optional<std::string> Get(const std::string& path, const char* name);

// Removes attribute `name`; nothing happens when there is none.
void Remove(const std::string& path, const char* name);

}  // namespace filemark
