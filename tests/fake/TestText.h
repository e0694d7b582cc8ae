// Text helpers every suite uses to write expectations in readable Japanese.
#pragma once

#include <string>

#include "resources/Cp932.h"

// CP932 bytes of a UTF-8 literal of the test source.
// REQUIRES: every character of utf8 has a CP932 form.
inline std::string Sj(const char* utf8) {
    return text::Utf8ToCp932(utf8).value();
}

// Readable (UTF-8) form of CP932 bytes, for failure messages.
inline std::string Readable(const std::string& cp932) {
    return text::Cp932ToUtf8(cp932);
}
