#include "lists/ListText.h"

#include "platform/Exceptions.h"
#include "platform/Lines.h"
#include "platform/OsPath.h"
#include "resources/Strings.h"
#include "resources/Text.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A message shows at most this much of a line: lines have no length limit.
constexpr size_t kShownLineBytes = 200;

// A line of a UTF-8 list as a message shows it: the characters CP932 lacks written <U+XXXX>.
std::string ShownLine(std::string_view utf8) {
    if (utf8.size() <= kShownLineBytes) return ospath::Displayable(utf8);
    return ospath::Displayable(utf8.substr(0, text::Utf8CutAt(utf8, kShownLineBytes))) + "...";
}

}  // namespace

std::string ReadAllBytes(CFile& file) {
    std::string bytes;
    char buf[4096];
    while (size_t n = file.Read(buf, sizeof buf)) bytes.append(buf, n);
    return bytes;
}

std::optional<std::string> ListFromBytes(std::string_view data, std::string* error) {
    // CP932 text is hardly ever valid UTF-8 with something outside ASCII. Line ends are ASCII
    // in both, so the line rule splits both alike; a UTF-8 list is converted line by line, so
    // that a character CP932 lacks can be named by its line.
    const bool utf8 = text::IsUtf8WithNonAscii(data);
    if (utf8 && data.starts_with(kByteOrderMark)) data.remove_prefix(kByteOrderMark.size());
    std::string list;
    size_t number = 0;
    for (const std::string& line : SplitLines(data)) {
        ++number;
        if (!utf8) {
            list += line;
        } else if (auto cp932 = text::Utf8ToCp932(line)) {
            list += *cp932;
        } else {
            *error = FormatStr(Sid::ListLineNotCp932, {std::to_string(number), ShownLine(line)});
            return std::nullopt;
        }
        list += "\r\n";
    }
    return list;
}

std::optional<std::string> ListFromFile(const std::string& systemPath, std::string* error) {
    CFile file;
    if (!file.OpenOnSystem(systemPath, CFile::modeRead | CFile::shareExclusive)) {
        *error = Str(Sid::FileCreateFailed);
        return std::nullopt;
    }
    try {
        const std::string bytes = ReadAllBytes(file);
        file.Close();
        return ListFromBytes(bytes, error);
    } catch (const CFileException& e) {
        *error = e.GetErrorMessage();
        return std::nullopt;
    }
}
