#pragma once

#include "HelperService/CorvantisHelper/CommandReply.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <memory>

namespace corvantis::helper {

// Runs one program on behalf of a command line and passes its output on as that line's
// replies: one per chunk of either stream, the empty text at each stream's end, and one more
// at exit. The log names the program, never its arguments.
class ProcessRelay {
public:
    ProcessRelay(std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log);

    // Waits until the program has ended; true when it exited with status 0. A program that
    // cannot be started replies why and counts as failed.
    bool run(const platform::foundation::ProcessRequest& request, CommandReply& reply) const;

private:
    std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    std::shared_ptr<HelperLog> log_;
};

}  // namespace corvantis::helper
