#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::testbed {

// The real helper program in a child process, handed a listening socket the way systemd does
// (LISTEN_FDS), so a client can connect the moment the constructor returns. A command prefix
// runs it elsewhere, e.g. {"ip", "netns", "exec", NAME} in a network namespace.
class HelperDaemon {
public:
    HelperDaemon(const std::filesystem::path& program, const std::filesystem::path& socketPath,
                 const std::vector<std::string>& options, const std::vector<std::string>& commandPrefix = {});
    // Asks the helper to stop (SIGTERM) and waits for it.
    ~HelperDaemon();
    HelperDaemon(const HelperDaemon&) = delete;
    HelperDaemon& operator=(const HelperDaemon&) = delete;

    pid_t pid() const { return pid_; }

    // Runs the program with `options` only (no socket) and returns its exit status.
    static int runToExit(const std::filesystem::path& program, const std::vector<std::string>& options);

private:
    pid_t pid_ = -1;
};

}  // namespace corvantis::testbed
