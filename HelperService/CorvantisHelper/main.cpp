// The privileged helper daemon: serves the helper protocol to root and the configured users on
// its socket, for ever.

#include "HelperService/CorvantisHelper/CorvantisHelper.hpp"
#include "HelperService/CorvantisHelper/DaemonHelperLog.hpp"
#include "HelperService/CorvantisHelper/GuardDaemon.hpp"
#include "HelperService/CorvantisHelper/RunFolder.hpp"
#include "platform/assembly/helper/HelperServices.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/servicemanagement/JobCommand.hpp"
#include "platform/servicemanagement/SystemdJobInstaller.hpp"
#include "platform/xpc/ServiceSocketPath.hpp"
#include "platform/xpc/XpcListener.hpp"

#include <csignal>
#include <iostream>
#include <malloc.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

using corvantis::helper::CorvantisHelper;
using corvantis::helper::HelperConfiguration;
using corvantis::helper::OpenVpnRun;

namespace {

// The listener, and where it listens in words for the start-up line.
platform::foundation::Expected<std::pair<std::unique_ptr<platform::xpc::XpcListener>, std::string>> makeListener(
    const HelperConfiguration& configuration) {
    auto inherited = platform::xpc::XpcListener::inherited();
    if (!inherited) return inherited.error();
    if (inherited.value()) return std::pair(std::move(inherited.value()), std::string("the socket systemd passed"));
    const auto path = configuration.socket.empty() ? platform::xpc::socketPathForService(corvantis::helper::kHelperToolName)
                                                   : configuration.socket;
    auto listener = platform::xpc::XpcListener::listen(path);
    if (!listener) return listener.error();
    return std::pair(std::move(listener.value()), path.string());
}

std::string servedUsers(const HelperConfiguration& configuration) {
    std::string users = "root";
    for (const uid_t uid : configuration.allowedUids) users += ", uid " + std::to_string(uid);
    return users;
}

// Run as root by the application's installer and by scripts/install: installs this very program
// as the system's helper job, configures it or removes the installed one. Only the helper's own
// label is accepted, since the label becomes part of the paths written.
int manageJob(const std::vector<std::string>& arguments) {
    using platform::servicemanagement::JobCommand;
    const std::string label(corvantis::helper::kHelperToolName);
    const auto command = JobCommand::parse(arguments);
    if (!command || command.value().label != label) {
        if (!command) std::cerr << command.error().message << "\n";
        std::cerr << JobCommand::usage(label);
        return JobCommand::usageStatus;
    }
    if (::geteuid() != 0) {
        std::cerr << "Installing, configuring or removing the helper needs root\n";
        return 1;
    }
    const platform::servicemanagement::SystemdJobInstaller installer({}, platform::foundation::PosixProcessLauncher::shared());
    return command.value().run(installer, std::filesystem::read_symlink("/proc/self/exe"), std::cerr);
}

constexpr const char* guardOption = "--guard";

// Run by the kill-switch guard's systemd unit:
// `--guard KEYFILE [--endpoints PATH] [--nft PATH] [--resolv-conf PATH]`.
int runGuard(const std::vector<std::string>& arguments) {
    std::filesystem::path nft = "/usr/sbin/nft";
    corvantis::helper::GuardInputPaths inputs;
    bool understood = arguments.size() % 2 == 0;
    for (std::size_t index = 2; understood && index + 1 < arguments.size(); index += 2) {
        if (arguments[index] == "--endpoints") {
            inputs.endpoints = arguments[index + 1];
        } else if (arguments[index] == "--nft") {
            nft = arguments[index + 1];
        } else if (arguments[index] == "--resolv-conf") {
            inputs.resolver = arguments[index + 1];
        } else {
            understood = false;
        }
    }
    if (!understood) {
        std::cerr << "usage: " << corvantis::helper::kHelperToolName << " " << guardOption
                  << " KEYFILE [--endpoints PATH] [--nft PATH] [--resolv-conf PATH]\n";
        return 2;
    }
    if (::geteuid() != 0) {
        std::cerr << "The kill-switch guard needs root\n";
        return 1;
    }
    corvantis::helper::GuardDaemon guard(arguments[1], nft, inputs, platform::foundation::PosixProcessLauncher::shared(),
                                         std::make_shared<corvantis::helper::DaemonHelperLog>());
    return guard.run();
}

}  // namespace

int main(int argc, char** argv) {
    // Callers' requests and openvpn's output pass through large buffers. A fixed threshold sends
    // each of them back to the system the moment it is freed: glibc would otherwise raise the
    // threshold after every large free and keep such memory in the thread's arena for good.
    ::mallopt(M_MMAP_THRESHOLD, 128 << 10);
    platform::installHelperServices();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::cout << HelperConfiguration::usage();
        return 0;
    }
    if (platform::servicemanagement::JobCommand::isRequested(arguments)) return manageJob(arguments);
    if (!arguments.empty() && arguments[0] == guardOption) return runGuard(arguments);
    // A client that goes away must end its replies, never the helper.
    std::signal(SIGPIPE, SIG_IGN);

    auto log = std::make_shared<corvantis::helper::DaemonHelperLog>();
    auto configuration = HelperConfiguration::load(arguments);
    if (!configuration) {
        log->notice(configuration.error().message);
        std::cerr << configuration.error().message << " (--help lists the settings)\n";
        return 1;
    }
    log->notice("launching SMJobbless Helper..");
    // The helper alone writes its runtime folder: a run folder found there now was left by a
    // helper that was killed during that run, with the run's credentials still in it.
    const auto& runtimeFolder = configuration.value().runtimeFolder;
    if (auto swept = corvantis::helper::RunFolder::sweep(runtimeFolder); !swept) {
        log->notice(swept.error().message);
    } else if (swept.value() > 0) {
        log->notice("Removed " + std::to_string(swept.value()) + " run folder(s) an earlier helper left in " +
                    runtimeFolder.string());
    }
    auto listener = makeListener(configuration.value());
    if (!listener) {
        log->notice(listener.error().message);
        std::cerr << listener.error().message << "\n";
        return 1;
    }
    log->notice("Listening on " + listener.value().second + " for " + servedUsers(configuration.value()));
    CorvantisHelper::prepareSharedTool({std::move(configuration.value()), log, {}});
    const auto tool = CorvantisHelper::GetCorvantisHelperTool();
    // No tunnel of this process is up yet: whatever one left is a killed helper's.
    tool->sweepTunnelLeftovers();

    // Asked to stop, the helper first ends the tunnels it started: once it is gone nothing
    // could stop them any more. Blocked before any thread starts, so only this one takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread([stopSignals, tool, log] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        log->notice("Stopping: ending the tunnels first");
        const auto grace = std::chrono::duration_cast<std::chrono::milliseconds>(OpenVpnRun::killGracePeriod);
        if (!tool->endTunnels(grace + std::chrono::seconds(1))) log->notice("A tunnel did not end in time");
        platform::dispatch::MainQueue::shared()->stop();
    }).detach();

    listener.value().first->resume(tool);
    platform::dispatch::MainQueue::shared()->run();
    return 0;
}
