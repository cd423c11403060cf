#include "platform/foundation/ResourceDirectory.hpp"

#include <cstdlib>

namespace platform::foundation {

std::filesystem::path resourceDirectory() {
    if (const char* configured = std::getenv("CORVANTIS_RESOURCES_DIR"); configured != nullptr && *configured != '\0') {
        return configured;
    }
    return CORVANTIS_BUILD_RESOURCES_DIR;
}

}  // namespace platform::foundation
