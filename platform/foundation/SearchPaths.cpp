#include "platform/foundation/SearchPaths.hpp"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace platform::foundation {

namespace {
std::optional<std::filesystem::path> absoluteEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> homeDirectory() {
    if (auto home = absoluteEnvironmentPath("HOME")) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return std::filesystem::path(entry->pw_dir);
    }
    return std::nullopt;
}

// Reads `XDG_DOCUMENTS_DIR="$HOME/…"` or `XDG_DOCUMENTS_DIR="/…"` from user-dirs.dirs.
std::optional<std::filesystem::path> configuredDocuments(const std::filesystem::path& home) {
    const auto config = absoluteEnvironmentPath("XDG_CONFIG_HOME").value_or(home / ".config");
    std::ifstream file(config / "user-dirs.dirs");
    static constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; std::getline(file, line);) {
        if (!line.starts_with(key) || !line.ends_with('"') || line.size() < key.size() + 1) continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME/")) return home / value.substr(6);
        if (value.starts_with('/')) return std::filesystem::path(value);
    }
    return std::nullopt;
}
}  // namespace

std::optional<std::filesystem::path> userDocumentsDirectory() {
    if (auto documents = absoluteEnvironmentPath("XDG_DOCUMENTS_DIR")) return documents;
    const auto home = homeDirectory();
    if (!home) return std::nullopt;
    if (auto documents = configuredDocuments(*home)) return documents;
    return *home / "Documents";
}

}  // namespace platform::foundation
