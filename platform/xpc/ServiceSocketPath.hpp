#pragma once

#include <filesystem>
#include <string_view>

namespace platform::xpc {

// The socket that stands for a Mach service: "/run/corvantis/<service>.sock", or the path in
// CORVANTIS_HELPER_SOCKET when that is set and not empty.
std::filesystem::path socketPathForService(std::string_view serviceName);

}  // namespace platform::xpc
