#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <memory>

namespace platform::foundation {

// The real launcher: posix_spawn with an argument vector, a fixed minimal environment, default
// signal dispositions and an empty signal mask, and one watcher thread per program.
class PosixProcessLauncher final : public ProcessLauncher {
public:
    static std::shared_ptr<PosixProcessLauncher> shared();

    Expected<pid_t> launch(const ProcessRequest& request, ProcessEvents events) override;
    Expected<void> signalProcessGroup(pid_t group, int signal) override;
};

}  // namespace platform::foundation
