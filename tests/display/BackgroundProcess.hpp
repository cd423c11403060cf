#pragma once

#include "testbed/desktop/DesktopProgram.hpp"

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvantis::testing {

// A program (looked up in PATH) running beside the test until it is destroyed, which ends it
// (SIGTERM, then waits). Its standard output goes to `outputFile` when given.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& arguments, const std::string& outputFile = {},
                               int extraDescriptor = -1);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool isRunning();
    // Waits for the program to end by itself and returns its exit code (-1 when it did not exit).
    int wait();
    void terminate();

private:
    pid_t pid_ = -1;
};

using corvantis::testbed::programExists;

}  // namespace corvantis::testing
