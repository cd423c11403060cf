#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <sys/un.h>

namespace platform::xpc {

// The address of a Unix socket file; paths that do not fit the address are refused.
foundation::Expected<sockaddr_un> unixSocketAddress(const std::filesystem::path& path);

}  // namespace platform::xpc
