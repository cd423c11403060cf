#include "platform/foundation/UserDirectories.hpp"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace platform::foundation {

std::filesystem::path configurationHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".config";
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return std::filesystem::path(entry->pw_dir) / ".config";
    }
    return std::filesystem::path("/tmp") / ("corvantis-" + std::to_string(::getuid())) / ".config";
}

std::optional<std::filesystem::path> homeFolderOf(uid_t user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return std::nullopt;
    if (found->pw_dir == nullptr || found->pw_dir[0] != '/') return std::nullopt;
    return std::filesystem::path(found->pw_dir);
}

}  // namespace platform::foundation
