#include "testbed/helper/HelperDaemon.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"

#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvantis::testbed {

namespace {

std::vector<char*> argumentVector(std::vector<std::string>& arguments) {
    std::vector<char*> vector;
    for (auto& argument : arguments) vector.push_back(argument.data());
    vector.push_back(nullptr);
    return vector;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

HelperDaemon::HelperDaemon(const std::filesystem::path& program, const std::filesystem::path& socketPath,
                           const std::vector<std::string>& options, const std::vector<std::string>& commandPrefix) {
    auto address = platform::xpc::unixSocketAddress(socketPath);
    if (!address) throw std::runtime_error(address.error().message);
    platform::foundation::FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0 ||
        ::listen(socket.get(), 16) != 0) {
        throw std::runtime_error("cannot listen on " + socketPath.string());
    }
    // The shell sets LISTEN_PID to its own pid and then becomes the helper, keeping that pid
    // (a prefix such as "ip netns exec" replaces itself with what it runs, keeping it too).
    std::vector<std::string> arguments = commandPrefix;
    arguments.insert(arguments.end(), {"/bin/sh", "-c", "LISTEN_PID=$$ LISTEN_FDS=1 exec \"$0\" \"$@\"", program.string()});
    arguments.insert(arguments.end(), options.begin(), options.end());
    auto argv = argumentVector(arguments);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (::dup2(socket.get(), 3) < 0) ::_exit(127);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
}

HelperDaemon::~HelperDaemon() {
    ::kill(pid_, SIGTERM);
    waitFor(pid_);
}

std::vector<std::string> HelperDaemon::privateFilesIn(const std::filesystem::path& folder) {
    const auto in = [&](const char* name) { return (folder / name).string(); };
    return {"--resolv-etc",
            in("resolv.conf"),
            "--resolv-var",
            in("resolv.conf"),
            "--resolv-backup",
            in("resolv.backup"),
            "--resolv-before-tunnel",
            in("resolv.before-tunnel"),
            "--resolved-socket",
            in("resolved.socket"),
            "--guard-preferences",
            in("guard/gateway.conf"),
            "--guard-endpoints",
            in("guard/endpoints"),
            "--guard-script",
            in("guard/guard.sh"),
            "--guard-unit-folder",
            in("units"),
            "--system-keychain",
            in("System.keychain"),
            "--network-preferences",
            in("preferences.json"),
            "--runtime-folder",
            in("run"),
            "--systemctl",
            "/bin/true"};
}

int HelperDaemon::runToExit(const std::filesystem::path& program, const std::vector<std::string>& options) {
    std::vector<std::string> arguments{program.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    auto argv = argumentVector(arguments);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return waitFor(pid);
}

}  // namespace corvantis::testbed
