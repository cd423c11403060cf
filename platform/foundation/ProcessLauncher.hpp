#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/InputPipe.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform::foundation {

// One program to start: an absolute path (no search) and its arguments, never a shell line.
struct ProcessRequest {
    std::filesystem::path program;
    std::vector<std::string> arguments;
    // Empty: the root folder.
    std::filesystem::path workingDirectory;
    // Null: standard input is /dev/null.
    std::shared_ptr<InputPipe> standardInput = nullptr;
};

// How a started program ended.
struct ProcessExit {
    int exitStatus = 0;
    // The signal that ended it, 0 when it exited by itself.
    int signal = 0;

    bool succeeded() const { return signal == 0 && exitStatus == 0; }
};

enum class OutputStream { standardOutput, standardError };

// What a running program reports, on a thread of the launcher.
struct ProcessEvents {
    // One chunk as one read returned it; an empty chunk marks the end of that stream.
    std::function<void(OutputStream, std::string_view)> output;
    // Once, after both streams have ended and the program has been reaped.
    std::function<void(ProcessExit)> terminated;
};

// Starts programs for the privileged helper. Standard input is /dev/null unless the request
// brings a pipe, standard output and standard error are read in chunks, and each program gets a
// process group of its own so that the helper can later stop exactly what it started.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;

    // Starts the program and returns its process id at once; events follow on another thread.
    virtual Expected<pid_t> launch(const ProcessRequest& request, ProcessEvents events) = 0;

    // Sends `signal` to the process group that the launch of process `group` made. Refuses
    // what can never be such a group: init's, the kernel's, and the caller's own.
    virtual Expected<void> signalProcessGroup(pid_t group, int signal) = 0;
};

}  // namespace platform::foundation
