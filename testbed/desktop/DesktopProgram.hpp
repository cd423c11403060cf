#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::testbed {

// A program of a virtual desktop (the X server, a tray, the application), started through the
// platform's launcher in a process group of its own with `environment` ("NAME=value") on top of
// the launcher's fixed one, its standard output and error collected. Destroying it ends it:
// SIGTERM to its group, SIGKILL if it is still there after a grace period. Its standard input
// holds `input`, then ends (no input: /dev/null).
class DesktopProgram {
public:
    DesktopProgram(const std::vector<std::string>& environment, const std::string& program,
                   const std::vector<std::string>& arguments, const std::string& input = {});
    ~DesktopProgram();
    DesktopProgram(const DesktopProgram&) = delete;
    DesktopProgram& operator=(const DesktopProgram&) = delete;

    // The program's process id; -1 when it could not be started.
    pid_t pid() const { return pid_; }
    // What it wrote so far, both streams as the chunks came.
    std::string output() const;
    // What it wrote to standard output alone.
    std::string standardOutput() const;
    // How it ended; none while it runs.
    std::optional<platform::foundation::ProcessExit> exit() const;

    // Waits until its output (both streams) holds `text`, or it ended, or `timeout` passed; true
    // for the text.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) const;
    // Waits until it ended, for at most `timeout`.
    bool waitForExit(std::chrono::milliseconds timeout) const;
    // Sends `signal` to its process group.
    void signal(int signal) const;

private:
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable changed;
        std::string output;
        std::string standardOutput;
        std::optional<platform::foundation::ProcessExit> exit;
    };

    std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    pid_t pid_ = -1;
};

// Whether `program` is found in PATH, as a file one may run.
bool programExists(const std::string& program);

}  // namespace corvantis::testbed
