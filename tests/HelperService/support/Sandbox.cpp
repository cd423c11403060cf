#include "support/Sandbox.hpp"

#include <cstdlib>
#include <filesystem>

namespace corvantis::testing {

bool inSandbox() {
    const char* host = std::getenv("CORVANTIS_SANDBOX_HOST_NETWORK");
    std::error_code error;
    const auto own = std::filesystem::read_symlink("/proc/self/ns/net", error);
    return host != nullptr && !error && own.string() != host;
}

}  // namespace corvantis::testing
