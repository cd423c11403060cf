#include "platform/foundation/PosixProcessLauncher.hpp"

#include "platform/foundation/FileDescriptor.hpp"

#include <array>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

namespace platform::foundation {

namespace {

// Programs run by root get a known environment, never the caller's.
constexpr std::array<const char*, 3> programEnvironment{"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                                                        "LANG=C.UTF-8", nullptr};

class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    posix_spawn_file_actions_t* actions() { return &actions_; }
    posix_spawnattr_t* attributes() { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

Expected<void> prepare(SpawnSettings& settings, const ProcessRequest& request, int outputWriter, int errorWriter) {
    auto* actions = settings.actions();
    auto* attributes = settings.attributes();
    const auto folder = request.workingDirectory.empty() ? std::filesystem::path("/") : request.workingDirectory;
    sigset_t everySignal;
    sigset_t noSignal;
    sigfillset(&everySignal);
    sigemptyset(&noSignal);
    // The helper ignores SIGPIPE; a program must not inherit that.
    const int input = request.standardInput
                          ? posix_spawn_file_actions_adddup2(actions, request.standardInput->reader(), STDIN_FILENO)
                          : posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int failed =
        input | posix_spawn_file_actions_adddup2(actions, outputWriter, STDOUT_FILENO) |
        posix_spawn_file_actions_adddup2(actions, errorWriter, STDERR_FILENO) |
        posix_spawn_file_actions_addchdir_np(actions, folder.c_str()) |
        posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) |
        posix_spawnattr_setpgroup(attributes, 0) | posix_spawnattr_setsigdefault(attributes, &everySignal) |
        posix_spawnattr_setsigmask(attributes, &noSignal);
    if (failed != 0) return Error{EINVAL, "Cannot prepare the start of " + request.program.string()};
    return {};
}

ProcessExit reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) return ProcessExit{0, WTERMSIG(status)};
    return ProcessExit{WEXITSTATUS(status), 0};
}

// Reads both streams until each has ended, then reaps the program.
void watch(pid_t pid, FileDescriptor output, FileDescriptor error, ProcessEvents events) {
    std::array<FileDescriptor*, 2> streams{&output, &error};
    constexpr std::array<OutputStream, 2> kinds{OutputStream::standardOutput, OutputStream::standardError};
    std::array<char, 65536> buffer{};
    while (output.isOpen() || error.isOpen()) {
        std::array<pollfd, 2> waiting{pollfd{output.get(), POLLIN, 0}, pollfd{error.get(), POLLIN, 0}};
        if (::poll(waiting.data(), waiting.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t index = 0; index < streams.size(); ++index) {
            if (!streams[index]->isOpen() || waiting[index].revents == 0) continue;
            const ssize_t count = ::read(streams[index]->get(), buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR) continue;
            if (count > 0) {
                events.output(kinds[index], std::string_view(buffer.data(), static_cast<std::size_t>(count)));
            } else {
                streams[index]->reset();
                events.output(kinds[index], {});
            }
        }
    }
    events.terminated(reap(pid));
}

}  // namespace

std::shared_ptr<PosixProcessLauncher> PosixProcessLauncher::shared() {
    static const auto launcher = std::make_shared<PosixProcessLauncher>();
    return launcher;
}

Expected<pid_t> PosixProcessLauncher::launch(const ProcessRequest& request, ProcessEvents events) {
    if (request.standardInput && request.standardInput->reader() < 0) {
        return Error{EBADF, "Refusing to start " + request.program.string() + ": its input pipe was used before"};
    }
    if (!request.program.is_absolute()) {
        return Error{EINVAL, "Refusing to start " + request.program.string() + ": the program needs an absolute path"};
    }
    int outputPipe[2];
    int errorPipe[2];
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) return Error::fromErrno("Cannot create a pipe");
    FileDescriptor outputReader(outputPipe[0]), outputWriter(outputPipe[1]);
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) return Error::fromErrno("Cannot create a pipe");
    FileDescriptor errorReader(errorPipe[0]), errorWriter(errorPipe[1]);

    SpawnSettings settings;
    if (auto prepared = prepare(settings, request, outputWriter.get(), errorWriter.get()); !prepared) {
        return prepared.error();
    }
    std::vector<char*> argv;
    std::string programName = request.program.string();
    argv.push_back(programName.data());
    std::vector<std::string> arguments = request.arguments;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, programName.c_str(), settings.actions(), settings.attributes(), argv.data(),
                                      const_cast<char* const*>(programEnvironment.data()));
    if (spawned != 0) return Error::fromErrno("Cannot start " + programName, spawned);
    if (request.standardInput) request.standardInput->closeReader();
    outputWriter.reset();
    errorWriter.reset();
    std::thread(watch, pid, std::move(outputReader), std::move(errorReader), std::move(events)).detach();
    return pid;
}

Expected<void> PosixProcessLauncher::signalProcessGroup(pid_t group, int signal) {
    if (group <= 1 || group == ::getpgrp()) {
        return Error{EPERM, "Refusing to signal process group " + std::to_string(group) + ": it is not one this helper started"};
    }
    if (::kill(-group, signal) != 0) return Error::fromErrno("Cannot signal process group " + std::to_string(group));
    return {};
}

}  // namespace platform::foundation
