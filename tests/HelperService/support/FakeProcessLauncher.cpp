#include "support/FakeProcessLauncher.hpp"

namespace corvantis::testing {

using platform::foundation::OutputStream;

platform::foundation::Expected<pid_t> FakeProcessLauncher::launch(const platform::foundation::ProcessRequest& request,
                                                                  platform::foundation::ProcessEvents events) {
    Script script;
    std::function<void(const platform::foundation::ProcessRequest&)> hook;
    {
        std::lock_guard lock(mutex_);
        std::string line = request.program.string();
        for (const auto& argument : request.arguments) line += " " + argument;
        launches_.push_back(line);
        if (auto found = scripts_.find(request.program.filename().string()); found != scripts_.end()) script = found->second;
        hook = hook_;
    }
    if (hook) hook(request);
    for (const auto& chunk : script.standardOutput) events.output(OutputStream::standardOutput, chunk);
    events.output(OutputStream::standardOutput, {});
    for (const auto& chunk : script.standardError) events.output(OutputStream::standardError, chunk);
    events.output(OutputStream::standardError, {});
    events.terminated({script.exitStatus, 0});
    return 4242;
}

void FakeProcessLauncher::script(const std::string& programName, Script script) {
    std::lock_guard lock(mutex_);
    scripts_[programName] = std::move(script);
}

void FakeProcessLauncher::onLaunch(std::function<void(const platform::foundation::ProcessRequest&)> hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<std::string> FakeProcessLauncher::launches() const {
    std::lock_guard lock(mutex_);
    return launches_;
}

}  // namespace corvantis::testing
