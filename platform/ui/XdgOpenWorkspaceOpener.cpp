#include "platform/ui/XdgOpenWorkspaceOpener.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::ui {

namespace {
constexpr const char* programName = "xdg-open";

std::optional<std::string> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        const std::string folder(folders.substr(0, colon));
        folders = colon == std::string_view::npos ? std::string_view{} : folders.substr(colon + 1);
        const std::filesystem::path candidate = std::filesystem::path(folder.empty() ? "." : folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}
}  // namespace

std::shared_ptr<XdgOpenWorkspaceOpener> XdgOpenWorkspaceOpener::shared() {
    static const auto opener = std::make_shared<XdgOpenWorkspaceOpener>();
    return opener;
}

foundation::Expected<void> XdgOpenWorkspaceOpener::open(const foundation::Url& url, LateFailure failedLater) {
    const auto program = findOnPath(programName);
    if (!program) return foundation::Error{ENOENT, "xdg-open is not installed (Debian's package \"xdg-utils\")"};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return foundation::Error::fromErrno("Cannot start xdg-open");
    foundation::FileDescriptor reading(report[0]);
    foundation::FileDescriptor writing(report[1]);
    // Everything the children need is made before forking: between fork and exec only
    // async-signal-safe calls are allowed.
    std::string argument = url.absoluteString();
    char* const arguments[] = {const_cast<char*>(programName), argument.data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return foundation::Error::fromErrno("Cannot start xdg-open");
    if (child == 0) {
        // The watcher waits for the program and writes its exit status, one byte, to the pipe;
        // the program itself does not hold the pipe (close-on-exec), nor what it starts.
        const pid_t watcher = ::fork();
        if (watcher == 0) {
            const pid_t opener = ::fork();
            if (opener == 0) {
                ::execve(program->c_str(), arguments, environ);
                ::_exit(127);
            }
            int status = 0;
            unsigned char code = 126;
            if (opener > 0) {
                while (::waitpid(opener, &status, 0) < 0 && errno == EINTR) {
                }
                code = static_cast<unsigned char>(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            }
            [[maybe_unused]] const auto written = ::write(report[1], &code, 1);
            ::_exit(0);
        }
        ::_exit(watcher < 0 ? 1 : 0);
    }
    writing.reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return foundation::Error{ECHILD, "Cannot start xdg-open: no process could be made for it"};
    }
    const int run = ++lastRun_;
    Watched& watched = running_[run];
    watched.report = std::move(reading);
    watched.watch = std::make_unique<dispatch::DescriptorWatch>(
        watched.report.get(), [this, run, failedLater = std::move(failedLater)] { reported(run, failedLater); });
    return {};
}

void XdgOpenWorkspaceOpener::reported(int run, const LateFailure& failedLater) {
    const auto found = running_.find(run);
    if (found == running_.end()) return;
    unsigned char code = 0;
    const auto read = ::read(found->second.report.get(), &code, 1);
    if (read < 0 && (errno == EINTR || errno == EAGAIN)) return;
    // The watch ends with its run; what it still runs is a copy of this handler.
    running_.erase(found);
    if (read == 1 && code != 0 && failedLater) {
        failedLater(foundation::Error{ECHILD, "xdg-open could not open it (exit status " + std::to_string(code) + ")"});
    }
}

}  // namespace platform::ui
