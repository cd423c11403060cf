#include "platform/xpc/ServiceSocketPath.hpp"

#include <cstdlib>
#include <string>

namespace platform::xpc {

std::filesystem::path socketPathForService(std::string_view serviceName) {
    const char* configured = std::getenv("CORVANTIS_HELPER_SOCKET");
    if (configured != nullptr && *configured != '\0') return configured;
    return std::filesystem::path("/run/corvantis") / (std::string(serviceName) + ".sock");
}

}  // namespace platform::xpc
