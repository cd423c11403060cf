#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testing {

// Runs a program (looked up in PATH, no shell) and waits for it.
struct ChildProcess {
    int exitCode = -1;   // -1 when it did not exit normally
    std::string output;  // standard output and standard error together

    static ChildProcess run(const std::vector<std::string>& arguments,
                            const std::optional<std::filesystem::path>& workingDirectory = {});
};

}  // namespace corvantis::testing
