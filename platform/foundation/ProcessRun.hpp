#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <string>

namespace platform::foundation {

// What a program that ran to its end printed, and how it ended.
struct FinishedProcess {
    ProcessExit exit;
    std::string standardOutput;
    std::string standardError;
};

// Starts the program through `launcher` and waits until it has ended.
Expected<FinishedProcess> runToEnd(ProcessLauncher& launcher, const ProcessRequest& request);

}  // namespace platform::foundation
