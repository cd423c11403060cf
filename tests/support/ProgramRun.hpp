#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <string>

namespace corvantis::testing {

// What a program printed and how it ended.
struct ProgramRun {
    bool started = false;
    std::string startError;
    std::string standardOutput;
    std::string standardError;
    // How many streams reported their end.
    int streamEnds = 0;
    platform::foundation::ProcessExit exit;
};

// Runs a program through the real process launcher and waits for it to end.
ProgramRun runProgram(const platform::foundation::ProcessRequest& request);

}  // namespace corvantis::testing
