// What the program was started with: URLs and list files for the list box, whether to start a
// batch at once, and a cap on the download rate. Qt's own options (one dash, "-platform ...")
// are left to Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandLine {
    std::vector<std::string> items;  // URL or list-file arguments, in order (locale's encoding)
    bool get = false;                // --get
    bool check = false;              // --check
    bool help = false;               // --help
    bool version = false;            // --version
    std::optional<int64_t> limitBytesPerSec;  // --limit-rate; 0: no cap
    // Non-empty: the one line that refuses the command line (CP932, in the locale's language).
    std::string refusal;
};

// `args` without the program's name. "--" ends the options; an option's value may follow it as
// the next argument or after '='. Never throws but for memory.
CommandLine ParseCommandLine(const std::vector<std::string>& args, bool japanese);

// "N", "Nk" or "Nm" (N decimal digits; k times 1024, m times 1024 * 1024, as curl reads a rate)
// as bytes per second; nullopt when it is none of these or does not fit.
std::optional<int64_t> ParseRate(std::string_view text);

// Whether the locale's messages are Japanese (LC_ALL, else LC_MESSAGES, else LANG).
bool LocaleIsJapanese();

// The list the items make, in order: an item that names an existing file is read as a list
// file, an item that starts with a scheme ("http:", "ftp:", ...) is one URL line (converted as
// typed text is), and any other is refused as a file that is not there. nullopt at the first item
// that cannot be taken, with *error its message (CP932).
std::optional<std::string> ListFromItems(const std::vector<std::string>& items, std::string* error);
