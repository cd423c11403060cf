#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"

#include <future>
#include <mutex>
#include <unistd.h>

namespace corvantis::testbed {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

constexpr const char* script = CORVANTIS_OPENVPN_TESTBED_SCRIPT;
constexpr const char* clientNamespace = "corvantis-vpn-client";

struct ToolRun {
    int status = -1;
    std::string output;
};

// Runs a program to its end; standard error joins standard output.
ToolRun runTool(const std::filesystem::path& program, std::vector<std::string> arguments) {
    struct Shared {
        std::mutex mutex;
        std::string output;
        std::promise<int> ended;
    };
    auto shared = std::make_shared<Shared>();
    auto ended = shared->ended.get_future();
    auto launched = platform::foundation::PosixProcessLauncher::shared()->launch(
        {program, std::move(arguments), {}},
        {[shared](platform::foundation::OutputStream, std::string_view chunk) {
             std::lock_guard lock(shared->mutex);
             shared->output.append(chunk);
         },
         [shared](platform::foundation::ProcessExit exit) { shared->ended.set_value(exit.succeeded() ? 0 : 1); }});
    if (!launched) return {-1, launched.error().message};
    const int status = ended.get();
    std::lock_guard lock(shared->mutex);
    return {status, shared->output};
}

std::optional<std::filesystem::path> findTool(const char* name) {
    for (const char* folder : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        const auto path = std::filesystem::path(folder) / name;
        if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> OpenVpnTestbed::unavailableBecause() {
    if (::geteuid() != 0) return "the OpenVPN testbed makes network namespaces, which needs root";
    if (::access("/dev/net/tun", R_OK | W_OK) != 0) return "there is no usable /dev/net/tun here";
    for (const char* tool : {"openvpn", "openssl", "ip", "bash"}) {
        if (!findTool(tool)) return std::string(tool) + " is not installed (scripts/setup installs it)";
    }
    return std::nullopt;
}

Expected<std::unique_ptr<OpenVpnTestbed>> OpenVpnTestbed::up(const std::filesystem::path& folder, const Options& options) {
    if (auto reason = unavailableBecause()) return Error{ENOTSUP, *reason};
    const auto made = runTool(
        script, {"up", folder.string(), "--proto", options.proto, "--user", options.user, "--password", options.password});
    // Whatever part of it came up goes again with the object.
    std::unique_ptr<OpenVpnTestbed> testbed(new OpenVpnTestbed(folder, options));
    if (made.status != 0) return Error{EIO, "The OpenVPN testbed did not come up: " + made.output};
    return testbed;
}

OpenVpnTestbed::~OpenVpnTestbed() {
    runTool(script, {"down", folder_.string()});
}

std::vector<std::string> OpenVpnTestbed::inClientNamespace(std::vector<std::string> command) const {
    std::vector<std::string> prefixed{"ip", "netns", "exec", clientNamespace};
    prefixed.insert(prefixed.end(), command.begin(), command.end());
    return prefixed;
}

std::string OpenVpnTestbed::clientRoutes() const {
    return runTool(findTool("ip").value_or("/sbin/ip"), {"-n", clientNamespace, "-4", "route", "show"}).output;
}

std::string OpenVpnTestbed::serverLog() const {
    auto log = platform::foundation::FileSystem::readFile(folder_ / "server.log");
    return log ? log.value() : log.error().message;
}

void OpenVpnTestbed::killServer() const {
    runTool(script, {"kill-server", folder_.string()});
}

}  // namespace corvantis::testbed
