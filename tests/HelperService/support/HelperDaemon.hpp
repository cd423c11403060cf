#pragma once

#include "platform/foundation/FileDescriptor.hpp"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::testing {

// The real helper program in a child process, handed a listening socket the way systemd does
// (LISTEN_FDS), so a client can connect the moment the constructor returns.
class HelperDaemon {
public:
    HelperDaemon(const std::filesystem::path& socketPath, const std::vector<std::string>& options);
    ~HelperDaemon();
    HelperDaemon(const HelperDaemon&) = delete;
    HelperDaemon& operator=(const HelperDaemon&) = delete;

    pid_t pid() const { return pid_; }

    // Runs the program with `options` only (no socket) and returns its exit status.
    static int runToExit(const std::vector<std::string>& options);

private:
    pid_t pid_ = -1;
};

// The helper program the build made.
std::filesystem::path helperProgram();

}  // namespace corvantis::testing
