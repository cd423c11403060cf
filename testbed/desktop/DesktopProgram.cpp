#include "testbed/desktop/DesktopProgram.hpp"

#include "platform/foundation/PosixProcessLauncher.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace corvantis::testbed {

namespace {
constexpr auto terminationGrace = std::chrono::seconds(10);
}  // namespace

DesktopProgram::DesktopProgram(const std::vector<std::string>& environment, const std::string& program,
                               const std::vector<std::string>& arguments, const std::string& input)
    : launcher_(platform::foundation::PosixProcessLauncher::shared()) {
    // env finds the program in the launcher's PATH and becomes it, keeping the process id.
    std::vector<std::string> command = environment;
    command.push_back(program);
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto shared = shared_;
    platform::foundation::ProcessEvents events;
    events.output = [shared](platform::foundation::OutputStream stream, std::string_view chunk) {
        std::lock_guard lock(shared->mutex);
        shared->output += chunk;
        if (stream == platform::foundation::OutputStream::standardOutput) shared->standardOutput += chunk;
        shared->changed.notify_all();
    };
    events.terminated = [shared](platform::foundation::ProcessExit exit) {
        std::lock_guard lock(shared->mutex);
        shared->exit = exit;
        shared->changed.notify_all();
    };
    std::shared_ptr<platform::foundation::InputPipe> pipe;
    if (!input.empty()) {
        auto made = platform::foundation::InputPipe::make();
        if (!made) return;
        pipe = made.value();
    }
    const auto launched = launcher_->launch({"/usr/bin/env", command, {}, pipe}, events);
    if (launched) pid_ = launched.value();
    if (!pipe) return;
    // A short input fits the pipe at once; the program reads it and then its end.
    (void)pipe->write(input);
    pipe->closeWriter();
}

DesktopProgram::~DesktopProgram() {
    if (pid_ <= 0 || exit()) return;
    signal(SIGTERM);
    if (!waitForExit(terminationGrace)) {
        signal(SIGKILL);
        waitForExit(terminationGrace);
    }
}

std::string DesktopProgram::output() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->output;
}

std::string DesktopProgram::standardOutput() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->standardOutput;
}

std::optional<platform::foundation::ProcessExit> DesktopProgram::exit() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->exit;
}

bool DesktopProgram::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait_for(lock, timeout,
                              [&] { return shared_->output.find(text) != std::string::npos || shared_->exit.has_value(); });
    return shared_->output.find(text) != std::string::npos;
}

bool DesktopProgram::waitForExit(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, timeout, [&] { return shared_->exit.has_value(); });
}

void DesktopProgram::signal(int signal) const {
    if (pid_ > 0) (void)launcher_->signalProcessGroup(pid_, signal);
}

bool programExists(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (::access((std::filesystem::path(folder) / program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace corvantis::testbed
