#include "support/ChildProcess.hpp"

#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace corvantis::testing {

ChildProcess ChildProcess::run(const std::vector<std::string>& arguments,
                               const std::optional<std::filesystem::path>& workingDirectory) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        if (workingDirectory && ::chdir(workingDirectory->c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    ChildProcess result;
    char buffer[4096];
    for (ssize_t count; (count = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (count < 0) {
            if (errno == EINTR) continue;
            break;
        }
        result.output.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

}  // namespace corvantis::testing
