#include "transfer/BatchNames.h"

#include <string_view>

#include "platform/FileSystem.h"
#include "resources/Text.h"

namespace {

// An extension longer than this (UTF-8 bytes, the dot included) is part of the name, not kept
// whole by a cut.
constexpr size_t kShortExtensionBytes = 16;

// Where the extension of `name` (CP932 text) starts, name.size() when it has none.
// '.' is never the second byte of a CP932 character, so a byte search finds only real dots.
// A name that is all extension (".profile") is a hidden file's name, and has none.
size_t ExtensionAt(const std::string& name) {
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return name.size();
    // A compressed archive keeps its two-part extension together, as the browsers do.
    constexpr std::string_view kTar = ".tar";
    if (dot > kTar.size() && std::string_view(name).substr(dot - kTar.size(), kTar.size()) == kTar)
        dot -= kTar.size();
    return dot;
}

}  // namespace

std::string FitName(const std::string& name, size_t maxBytes) {
    if (!text::IsValidCp932(name) || text::Cp932ToUtf8(name).size() <= maxBytes) return name;
    const size_t ext = ExtensionAt(name);
    const size_t extBytes = text::Cp932ToUtf8(std::string_view(name).substr(ext)).size();
    if (ext == name.size() || extBytes > kShortExtensionBytes || extBytes >= maxBytes)
        return name.substr(0, text::Cp932CutAtUtf8Bytes(name, maxBytes));
    const std::string_view stem = std::string_view(name).substr(0, ext);
    return std::string(stem.substr(0, text::Cp932CutAtUtf8Bytes(stem, maxBytes - extBytes))) +
           name.substr(ext);
}

std::string JoinSavePath(const std::string& folder, const std::string& name) {
    const std::string fitted = FitName(name, NameMaxOfFolder(folder));
    if (folder.empty() || folder.back() == '/') return folder + fitted;
    return folder + '/' + fitted;
}

std::string NumberedName(const std::string& name, int n) {
    const size_t ext = ExtensionAt(name);
    return name.substr(0, ext) + " (" + std::to_string(n) + ")" + name.substr(ext);
}

bool BatchTargets::FreeFor(const std::string& target, int slot) const {
    const auto it = m_written.find(target);
    return it == m_written.end() || (slot != 0 && it->second == slot);
}

std::string BatchTargets::NameFor(uint32_t serial, const std::string& folder,
                                  const std::string& name, int slot) const {
    if (name.empty() || serial == 0 || serial != m_serial) return name;
    if (FreeFor(JoinSavePath(folder, name), slot)) return name;
    // The number must survive the join's cut, or every number would name the same file.
    const size_t nameMax = NameMaxOfFolder(folder);
    for (int n = 2;; ++n) {
        const size_t numberBytes = NumberedName("", n).size();
        std::string numbered =
            NumberedName(FitName(name, nameMax > numberBytes ? nameMax - numberBytes : 0), n);
        if (FreeFor(JoinSavePath(folder, numbered), slot)) return numbered;
    }
}

void BatchTargets::Written(uint32_t serial, const std::string& target, int slot) {
    if (serial == 0) return;
    if (serial != m_serial) {
        if (serial < m_serial) return;
        m_serial = serial;
        m_written.clear();
    }
    // The first writer keeps it: a later job only writes there after NameFor gave it the name.
    m_written.emplace(target, slot);
}
