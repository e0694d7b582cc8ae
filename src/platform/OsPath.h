// The operating-system boundary for names. Inside the program a path is CP932 text; Linux names
// files in UTF-8 bytes. Every path-taking system call converts here, and every name the system
// hands back ($HOME, a file dialog's choice) converts back here, so the logic never sees a Linux
// byte string.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ospath {

// CP932 text -> the system's bytes (UTF-8). nullopt when the text is not valid CP932.
std::optional<std::string> TryToSystem(std::string_view cp932);

// Like TryToSystem; throws CFileException(badPath, cp932) when the text is not valid CP932.
std::string ToSystem(const std::string& cp932);

// TryToSystem for a path the user typed: a leading "~", alone or before '/', is the home folder
// ($HOME exactly as the system spells it), as in the file dialogs and the shell. Left as it is
// when $HOME is unset or empty.
std::optional<std::string> TryToSystemExpandingHome(std::string_view cp932);

// The system's bytes -> CP932 text. nullopt when the name has a character CP932 lacks (〜 U+301C
// among them: its CP932 bytes name ～, another file) or is not valid UTF-8: such a name is never
// replaced silently.
std::optional<std::string> FromSystem(std::string_view system);

// A CP932 text that names `system` for a message: the name itself when it has a CP932 form, else
// with every character CP932 lacks written as <U+XXXX> and every byte that is not UTF-8 as <0xXX>.
// Never used as a path.
std::string Displayable(std::string_view system);

}  // namespace ospath
