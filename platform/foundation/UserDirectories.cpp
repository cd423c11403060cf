#include "platform/foundation/UserDirectories.hpp"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

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

}  // namespace platform::foundation
