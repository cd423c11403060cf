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

    // Options that keep inside `folder` every file the helper otherwise keeps in the system's
    // folders (resolver files and backup, the guard's key file, script and unit, the L2TP stores,
    // the run folder) and make its systemctl one that does nothing, so that a test's helper never
    // reads or writes this machine's own. A test gives its own settings after these: the last
    // one given counts.
    static std::vector<std::string> privateFilesIn(const std::filesystem::path& folder);

    // Runs the program with `options` only (no socket) and returns its exit status.
    static int runToExit(const std::filesystem::path& program, const std::vector<std::string>& options);

private:
    pid_t pid_ = -1;
};

}  // namespace corvantis::testbed
