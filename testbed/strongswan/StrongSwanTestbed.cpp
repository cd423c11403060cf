#include "testbed/strongswan/StrongSwanTestbed.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <cstdlib>
#include <unistd.h>

namespace corvantis::testbed {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

constexpr const char* script = CORVANTIS_STRONGSWAN_TESTBED_SCRIPT;

// Runs the script to its end with `input` on its standard input; its output when it succeeded.
// Started programs get a fixed environment, so the sandbox's mark is passed on by hand: the
// script checks it again before it mounts anything.
Expected<std::string> runScript(std::vector<std::string> arguments, const std::string& input = {}) {
    const char* host = std::getenv("CORVANTIS_SANDBOX_HOST_NETWORK");
    arguments.insert(arguments.begin(), {std::string("CORVANTIS_SANDBOX_HOST_NETWORK=") + (host ? host : ""), script});
    platform::foundation::ProcessRequest request{"/usr/bin/env", std::move(arguments), {}, nullptr};
    if (!input.empty()) {
        auto pipe = platform::foundation::InputPipe::make();
        if (!pipe) return pipe.error();
        if (auto written = pipe.value()->write(input + "\n"); !written) return written.error();
        pipe.value()->closeWriter();
        request.standardInput = pipe.value();
    }
    auto run = platform::foundation::runToEnd(*platform::foundation::PosixProcessLauncher::shared(), request);
    if (!run) return run.error();
    if (!run.value().exit.succeeded()) return Error{EIO, run.value().standardOutput + run.value().standardError};
    return run.value().standardOutput;
}

std::string readLog(const std::filesystem::path& file) {
    auto log = platform::foundation::FileSystem::readFile(file);
    return log ? log.value() : log.error().message;
}

}  // namespace

std::optional<std::string> StrongSwanTestbed::unavailableBecause() {
    if (::geteuid() != 0) return "the strongSwan testbed makes network namespaces, which needs root";
    if (!inSandbox()) return "the strongSwan testbed runs only inside scripts/sandbox";
    if (::access("/dev/net/tun", R_OK | W_OK) != 0) return "there is no usable /dev/net/tun here";
    for (const char* tool : {"/usr/sbin/charon-systemd", "/usr/sbin/swanctl", "/usr/bin/openssl"}) {
        if (::access(tool, X_OK) != 0) return std::string(tool) + " is not installed (scripts/setup installs it)";
    }
    // eap-mschapv2 for the account, openssl for the test PKI's elliptic-curve keys.
    for (const char* plugin : {"eap-mschapv2", "openssl"}) {
        if (::access(("/usr/lib/ipsec/plugins/libstrongswan-" + std::string(plugin) + ".so").c_str(), R_OK) != 0) {
            return "strongSwan's " + std::string(plugin) + " plugin is not installed (scripts/setup installs it)";
        }
    }
    return std::nullopt;
}

Expected<std::unique_ptr<StrongSwanTestbed>> StrongSwanTestbed::up(const std::filesystem::path& folder, const Options& options) {
    if (auto reason = unavailableBecause()) return Error{ENOTSUP, *reason};
    auto made = runScript({"up", folder.string(), "--user", options.user, "--hostname", options.hostname}, options.password);
    // Whatever part of it came up goes again with the object.
    std::unique_ptr<StrongSwanTestbed> testbed(new StrongSwanTestbed(folder, options));
    if (!made) return Error{EIO, "The strongSwan testbed did not come up: " + made.error().message};
    return testbed;
}

StrongSwanTestbed::~StrongSwanTestbed() {
    (void)runScript({"down", folder_.string()});
}

Expected<std::filesystem::path> StrongSwanTestbed::startClientCharon() {
    auto started = runScript({"client-charon", folder_.string()});
    if (!started) return Error{EIO, "The client charon did not start: " + started.error().message};
    return folder_ / "client" / "charon.vici";
}

std::vector<std::string> StrongSwanTestbed::inClientNamespace(std::vector<std::string> command) const {
    std::vector<std::string> prefixed{"ip", "netns", "exec", clientNamespace};
    prefixed.insert(prefixed.end(), command.begin(), command.end());
    return prefixed;
}

std::string StrongSwanTestbed::serverLog() const {
    return readLog(folder_ / "server" / "charon.log");
}

std::string StrongSwanTestbed::clientLog() const {
    return readLog(folder_ / "client" / "charon.log");
}

}  // namespace corvantis::testbed
