#include "platform/servicemanagement/ServiceHardening.hpp"

#include <algorithm>

namespace platform::servicemanagement {

namespace {

// A path as one quoted word of a unit file: '%' starts a specifier there, and inside the quotes
// '"' and '\' are escaped.
std::string unitWord(const std::string& path) {
    std::string word = "\"";
    for (const char c : path) {
        if (c == '%') word += '%';
        if (c == '"' || c == '\\') word += '\\';
        word += c;
    }
    return word + "\"";
}

}  // namespace

std::string ServiceHardening::unitLines() const {
    std::string lines = "NoNewPrivileges=yes\nPrivateTmp=yes\nProtectSystem=strict\n";
    lines += homes == Homes::hidden ? "ProtectHome=yes\n" : "ProtectHome=read-only\n";
    if (!stateDirectory.empty()) lines += "StateDirectory=" + stateDirectory + "\n";
    for (const auto& path : writablePaths) {
        const auto text = path.string();
        // A line break or another control character cannot stand in a unit file at all.
        if (std::ranges::any_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x20; })) continue;
        lines += "ReadWritePaths=" + unitWord("-" + text) + "\n";
    }
    return lines;
}

}  // namespace platform::servicemanagement
