#include "support/FakeProcessLauncher.hpp"

#include <poll.h>
#include <unistd.h>

namespace corvantis::testing {

using platform::foundation::OutputStream;

void FakeProcessLauncher::HeldProcess::exit(int status, int signal) {
    if (!events_.terminated) return;
    auto events = std::move(events_);
    events_ = {};
    events.output(OutputStream::standardOutput, {});
    events.output(OutputStream::standardError, {});
    events.terminated({status, signal});
}

std::string FakeProcessLauncher::HeldProcess::input() const {
    std::string written;
    const int reader = request_.standardInput ? request_.standardInput->reader() : -1;
    if (reader < 0) return written;
    pollfd ready{reader, POLLIN, 0};
    char buffer[4096];
    while (::poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0) {
        const ssize_t count = ::read(reader, buffer, sizeof buffer);
        if (count <= 0) break;
        written.append(buffer, static_cast<std::size_t>(count));
    }
    return written;
}

platform::foundation::Expected<pid_t> FakeProcessLauncher::launch(const platform::foundation::ProcessRequest& request,
                                                                  platform::foundation::ProcessEvents events) {
    Script script;
    std::function<void(const platform::foundation::ProcessRequest&)> hook;
    const std::string name = request.program.filename().string();
    pid_t pid = 0;
    bool held = false;
    {
        std::lock_guard lock(mutex_);
        std::string line = request.program.string();
        for (const auto& argument : request.arguments) line += " " + argument;
        launches_.push_back(line);
        pid = 4242 + static_cast<pid_t>(launches_.size());
        hook = hook_;
        held = holding_.contains(name);
        if (held) {
            held_.push_back(std::make_shared<HeldProcess>(request, std::move(events), pid));
        } else if (auto found = scripts_.find(name); found != scripts_.end()) {
            script = found->second;
        }
    }
    if (hook) hook(request);
    if (held) return pid;
    for (const auto& chunk : script.standardOutput) events.output(OutputStream::standardOutput, chunk);
    events.output(OutputStream::standardOutput, {});
    for (const auto& chunk : script.standardError) events.output(OutputStream::standardError, chunk);
    events.output(OutputStream::standardError, {});
    events.terminated({script.exitStatus, 0});
    return pid;
}

platform::foundation::Expected<void> FakeProcessLauncher::signalProcessGroup(pid_t group, int signal) {
    std::lock_guard lock(mutex_);
    signals_.emplace_back(group, signal);
    return {};
}

void FakeProcessLauncher::script(const std::string& programName, Script script) {
    std::lock_guard lock(mutex_);
    scripts_[programName] = std::move(script);
}

void FakeProcessLauncher::hold(const std::string& programName) {
    std::lock_guard lock(mutex_);
    holding_.insert(programName);
}

void FakeProcessLauncher::onLaunch(std::function<void(const platform::foundation::ProcessRequest&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<std::string> FakeProcessLauncher::launches() const {
    std::lock_guard lock(mutex_);
    return launches_;
}

std::vector<std::shared_ptr<FakeProcessLauncher::HeldProcess>> FakeProcessLauncher::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

std::vector<std::pair<pid_t, int>> FakeProcessLauncher::signals() const {
    std::lock_guard lock(mutex_);
    return signals_;
}

}  // namespace corvantis::testing
