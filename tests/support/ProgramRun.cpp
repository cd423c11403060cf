#include "support/ProgramRun.hpp"

#include "platform/foundation/PosixProcessLauncher.hpp"

#include <gtest/gtest.h>

namespace corvantis::testing {

platform::foundation::FinishedProcess runProgram(const platform::foundation::ProcessRequest& request) {
    auto finished = platform::foundation::runToEnd(*platform::foundation::PosixProcessLauncher::shared(), request);
    if (!finished) {
        ADD_FAILURE() << "Cannot start " << request.program << ": " << finished.error().message;
        return {};
    }
    return std::move(finished).value();
}

}  // namespace corvantis::testing
