#include "testbed/helper/Sandbox.hpp"

#include <cstdlib>
#include <filesystem>

namespace corvantis::testbed {

bool inSandbox() {
    const char* host = std::getenv("CORVANTIS_SANDBOX_HOST_NETWORK");
    std::error_code error;
    const auto own = std::filesystem::read_symlink("/proc/self/ns/net", error);
    return host != nullptr && !error && own.string() != host;
}

}  // namespace corvantis::testbed
