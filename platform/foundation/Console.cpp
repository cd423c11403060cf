#include "platform/foundation/Console.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/DateFormatter.hpp"

#include <cerrno>
#include <cstdio>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::foundation {

void Console::print(const std::string& line) {
    const std::string text = line + '\n';
    // One write per line, flushed at once: the line is there when the call returns, as readers
    // of a pipe expect.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::shared_ptr<StandardErrorConsole> StandardErrorConsole::shared() {
    static const auto console = std::make_shared<StandardErrorConsole>();
    return console;
}

void StandardErrorConsole::log(const std::string& message) {
    static const DateFormatter stamp("yyyy-MM-dd HH:mm:ss.SSS");
    std::string line = stamp.string(Services::current().wallNow());
    line += ' ';
    line += program_invocation_short_name;
    line += '[' + std::to_string(::getpid()) + ':' + std::to_string(::syscall(SYS_gettid)) + "] ";
    line += message;
    line += '\n';
    // One write per line, so that lines of different threads never interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void consoleLog(const std::string& message) {
    Services::current().console()->log(message);
}

void consolePrint(const std::string& line) {
    Services::current().console()->print(line);
}

}  // namespace platform::foundation
