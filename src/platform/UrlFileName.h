// The name a URL's file gets on disk, the rule every internet file's GetFileName follows.
#pragma once

#include <string>

// The file name of a URL path: the first 259 bytes scanned in CP932 (a double-byte character is
// stepped over whole), everything after the last '/', '\\' or ':', cut to at most 255 bytes.
std::string FileNameOfUrlPath(const std::string& urlPath);
