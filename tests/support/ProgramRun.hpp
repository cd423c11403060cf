#pragma once

#include "platform/foundation/ProcessRun.hpp"

namespace corvantis::testing {

// Runs a program through the real process launcher and waits for it to end; a program that
// cannot be started fails the calling test and reads as an empty run.
platform::foundation::FinishedProcess runProgram(const platform::foundation::ProcessRequest& request);

}  // namespace corvantis::testing
