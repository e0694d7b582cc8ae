#include "transfer/BatchNames.h"

#include <string_view>

std::string JoinSavePath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + '/' + name;
}

std::string NumberedName(const std::string& name, int n) {
    // '.' is never the second byte of a CP932 character, so a byte search finds only real dots.
    // A name that is all extension (".profile") is a hidden file's name, numbered at its end.
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return name + " (" + std::to_string(n) + ")";
    // A compressed archive keeps its two-part extension together, as the browsers do.
    constexpr std::string_view kTar = ".tar";
    if (dot > kTar.size() && std::string_view(name).substr(dot - kTar.size(), kTar.size()) == kTar)
        dot -= kTar.size();
    return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

bool BatchTargets::FreeFor(const std::string& target, int slot) const {
    const auto it = m_written.find(target);
    return it == m_written.end() || (slot != 0 && it->second == slot);
}

std::string BatchTargets::NameFor(uint32_t serial, const std::string& folder,
                                  const std::string& name, int slot) const {
    if (name.empty() || serial == 0 || serial != m_serial) return name;
    if (FreeFor(JoinSavePath(folder, name), slot)) return name;
    for (int n = 2;; ++n) {
        std::string numbered = NumberedName(name, n);
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
