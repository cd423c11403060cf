#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace corvantis::testing {

// Records every program the helper asks for and answers with scripted output, synchronously,
// without starting anything.
class FakeProcessLauncher final : public platform::foundation::ProcessLauncher {
public:
    struct Script {
        std::vector<std::string> standardOutput;
        std::vector<std::string> standardError;
        int exitStatus = 0;
    };

    platform::foundation::Expected<pid_t> launch(const platform::foundation::ProcessRequest& request,
                                                 platform::foundation::ProcessEvents events) override;

    // What a program (by file name, e.g. "ip") prints and how it exits.
    void script(const std::string& programName, Script script);
    // Runs inside every launch before it answers, on the caller's thread.
    void onLaunch(std::function<void(const platform::foundation::ProcessRequest&)> hook);

    // Each launch as "<program> <arguments...>".
    std::vector<std::string> launches() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Script> scripts_;
    std::function<void(const platform::foundation::ProcessRequest&)> hook_;
    std::vector<std::string> launches_;
};

}  // namespace corvantis::testing
