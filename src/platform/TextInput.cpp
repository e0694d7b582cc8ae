#include "platform/TextInput.h"

#include "platform/Exceptions.h"
#include "resources/Cp932.h"
#include "resources/Strings.h"

namespace text {

std::string Utf8ToCp932OrThrow(std::string_view utf8) {
    auto r = Utf8ToCp932(utf8);
    if (!r) throw CTextException(Str(Sid::TextNotCp932));
    return *r;
}

std::string Utf8UrlToCp932OrThrow(std::string_view utf8) {
    auto r = Utf8UrlToCp932(utf8);
    if (!r) throw CTextException(Str(Sid::TextNotCp932));
    return *r;
}

}  // namespace text
