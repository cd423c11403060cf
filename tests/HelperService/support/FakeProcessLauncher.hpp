#pragma once

#include "platform/foundation/ProcessLauncher.hpp"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvantis::testing {

// Records every program the helper asks for and answers with scripted output, synchronously,
// without starting anything. Programs put on hold are not answered: the test plays their part
// through `HeldProcess`, on its own thread, after the launch has returned, as a real program would.
class FakeProcessLauncher final : public platform::foundation::ProcessLauncher {
public:
    struct Script {
        std::vector<std::string> standardOutput;
        std::vector<std::string> standardError;
        int exitStatus = 0;
    };

    // A launched program on hold.
    class HeldProcess {
    public:
        HeldProcess(platform::foundation::ProcessRequest request, platform::foundation::ProcessEvents events, pid_t pid)
            : request_(std::move(request)), events_(std::move(events)), pid_(pid) {}

        const platform::foundation::ProcessRequest& request() const { return request_; }
        pid_t pid() const { return pid_; }
        void say(const std::string& chunk) { events_.output(platform::foundation::OutputStream::standardOutput, chunk); }
        void complain(const std::string& chunk) { events_.output(platform::foundation::OutputStream::standardError, chunk); }
        // Both streams end and the program exits, once; its events are let go.
        void exit(int status = 0, int signal = 0);
        // What the helper wrote to the program's standard input so far.
        std::string input() const;

    private:
        platform::foundation::ProcessRequest request_;
        platform::foundation::ProcessEvents events_;
        pid_t pid_;
    };

    platform::foundation::Expected<pid_t> launch(const platform::foundation::ProcessRequest& request,
                                                 platform::foundation::ProcessEvents events) override;
    platform::foundation::Expected<void> signalProcessGroup(pid_t group, int signal) override;

    // What a program (by file name, e.g. "ip") prints and how it exits.
    void script(const std::string& programName, Script script);
    // Launches of this program (by file name) are held for the test to play.
    void hold(const std::string& programName);
    // Runs inside every launch before it answers, on the caller's thread.
    void onLaunch(std::function<void(const platform::foundation::ProcessRequest&)> hook);

    // Each launch as "<program> <arguments...>".
    std::vector<std::string> launches() const;
    // The held programs, in launch order.
    std::vector<std::shared_ptr<HeldProcess>> held() const;
    // Each signal sent, as (process group, signal).
    std::vector<std::pair<pid_t, int>> signals() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Script> scripts_;
    std::set<std::string> holding_;
    std::function<void(const platform::foundation::ProcessRequest&)> hook_;
    std::vector<std::string> launches_;
    std::vector<std::shared_ptr<HeldProcess>> held_;
    std::vector<std::pair<pid_t, int>> signals_;
};

}  // namespace corvantis::testing
