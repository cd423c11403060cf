#pragma once

#include <filesystem>

namespace corvantis::testing {

// The helper program the build made.
inline std::filesystem::path helperProgram() {
    return CORVANTIS_HELPER_PROGRAM;
}

}  // namespace corvantis::testing
