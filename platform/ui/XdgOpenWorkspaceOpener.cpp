#include "platform/ui/XdgOpenWorkspaceOpener.hpp"

#include <cerrno>
#include <cstdlib>
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

foundation::Expected<void> XdgOpenWorkspaceOpener::open(const foundation::Url& url) {
    const auto program = findOnPath(programName);
    if (!program) return foundation::Error{ENOENT, "xdg-open is not installed (Debian's package \"xdg-utils\")"};
    // Everything the children need is made before forking: between fork and exec only
    // async-signal-safe calls are allowed.
    std::string argument = url.absoluteString();
    char* const arguments[] = {const_cast<char*>(programName), argument.data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return foundation::Error::fromErrno("Cannot start xdg-open");
    if (child == 0) {
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execve(program->c_str(), arguments, environ);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    return foundation::Error{ECHILD, "Cannot start xdg-open: no process could be made for it"};
}

}  // namespace platform::ui
