#include "platform/foundation/ResourceDirectory.hpp"

#include <cstdlib>
#include <system_error>

namespace platform::foundation {

std::filesystem::path resourceDirectory() {
    if (const char* configured = std::getenv("CORVANTIS_RESOURCES_DIR"); configured != nullptr && *configured != '\0') {
        return configured;
    }
    // An installed application carries its resources in its own folder.
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        auto installed = executable.parent_path() / "Resources";
        if (std::filesystem::is_directory(installed, error)) return installed;
    }
    return CORVANTIS_BUILD_RESOURCES_DIR;
}

}  // namespace platform::foundation
