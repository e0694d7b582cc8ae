#include "app/CommandLine.h"

#include <sys/stat.h>

#include <cstdlib>
#include <limits>

#include "lists/ListText.h"
#include "platform/Exceptions.h"
#include "platform/OsPath.h"
#include "platform/TextInput.h"
#include "resources/Strings.h"
#include "transfer/UrlCredentials.h"

namespace {

// The option's value: after '=' in `arg`, or the next argument.
std::optional<std::string> ValueOf(const std::string& arg, size_t eq,
                                   const std::vector<std::string>& args, size_t& i) {
    if (eq != std::string::npos) return arg.substr(eq + 1);
    if (i + 1 < args.size()) return args[++i];
    return std::nullopt;
}

}  // namespace

std::optional<int64_t> ParseRate(std::string_view text) {
    int64_t unit = 1;
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) unit = 1024;
    if (!text.empty() && (text.back() == 'm' || text.back() == 'M')) unit = 1024 * 1024;
    if (unit != 1) text.remove_suffix(1);
    if (text.empty() || text.size() > 15) return std::nullopt;
    int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n > std::numeric_limits<int64_t>::max() / unit) return std::nullopt;
    return n * unit;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, bool japanese) {
    CommandLine cl;
    auto refuse = [&](Sid ja, Sid en, std::initializer_list<std::string_view> parts) {
        if (cl.refusal.empty()) cl.refusal = FormatStr(japanese ? ja : en, parts);
    };
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
            cl.items.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        if (arg[1] != '-') continue;  // Qt's
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (name == "--get" && eq == std::string::npos) {
            cl.get = true;
        } else if (name == "--check" && eq == std::string::npos) {
            cl.check = true;
        } else if (name == "--help" && eq == std::string::npos) {
            cl.help = true;
        } else if (name == "--version" && eq == std::string::npos) {
            cl.version = true;
        } else if (name == "--limit-rate") {
            const std::optional<std::string> value = ValueOf(arg, eq, args, i);
            cl.limitBytesPerSec = value ? ParseRate(*value) : std::nullopt;
            if (!cl.limitBytesPerSec)
                refuse(Sid::BadOptionValueJa, Sid::BadOptionValueEn, {name, value.value_or("")});
        } else if (name == "--after") {
            const std::string value = ValueOf(arg, eq, args, i).value_or("");
            if (value == "suspend")
                cl.after = PowerAction::Suspend;
            else if (value == "poweroff")
                cl.after = PowerAction::PowerOff;
            else
                refuse(Sid::BadOptionValueJa, Sid::BadOptionValueEn, {name, value});
        } else {
            refuse(Sid::UnknownOptionJa, Sid::UnknownOptionEn, {arg});
        }
    }
    return cl;
}

bool LocaleIsJapanese() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string_view(value).starts_with("ja");
    }
    return false;
}

std::optional<std::string> ListFromItems(const std::vector<std::string>& items,
                                         std::string* error) {
    std::string list;
    for (const std::string& item : items) {
        struct stat st {};
        if (::stat(item.c_str(), &st) == 0) {
            std::optional<std::string> read = ListFromFile(item, error);
            if (!read) return std::nullopt;
            list += *read;
            continue;
        }
        if (SchemeLength(item) == 0) {
            *error = FormatStr(Sid::ItemNotFound, {ospath::Displayable(item)});
            return std::nullopt;
        }
        try {
            list += text::Utf8UrlToCp932OrThrow(item) + "\r\n";
        } catch (const CTextException& e) {
            *error = e.GetErrorMessage();
            return std::nullopt;
        }
    }
    return list;
}
