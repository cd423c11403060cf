#include "HelperService/CorvantisHelper/CharonDaemon.hpp"

#include "platform/network/ViciSession.hpp"

#include <csignal>
#include <sstream>
#include <thread>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using namespace std::chrono_literals;

namespace {

// Started programs get a fixed environment, and charon-systemd takes no arguments: env hands
// it the one variable that names its configuration.
constexpr const char* environmentProgram = "/usr/bin/env";
// Marks charon's own packets, so that a tunnel for all traffic does not swallow its own IKE and
// ESP-in-UDP packets when charon carries ESP itself.
constexpr const char* ownPacketMark = "0x4f56";

}  // namespace

std::string CharonDaemon::configuration(const std::filesystem::path& folder, const Options& options) {
    std::ostringstream conf;
    // One key per line: strongswan.conf has no other separator.
    conf << "charon-systemd {\n"
            "  load_modular = yes\n"
            "  install_virtual_ip = yes\n"
            "  retransmit_tries = 5\n"
            "  retransmit_timeout = 1.0\n"
            "  retransmit_base = 1.0\n"
            "  plugins {\n"
            "    include /etc/strongswan.d/charon/*.conf\n"
            "    kernel-libipsec {\n"
            "      load = "
         << (options.userSpaceEsp ? "yes" : "no")
         << "\n"
            "      allow_peer_ts = "
         << (options.allowPeerTrafficSelectors ? "yes" : "no")
         << "\n"
            "    }\n";
    if (options.userSpaceEsp) {
        conf << "    kernel-netlink {\n"
                "      fwmark = !"
             << ownPacketMark
             << "\n"
                "    }\n"
                "    socket-default {\n"
                "      fwmark = "
             << ownPacketMark
             << "\n"
                "    }\n";
    }
    conf << "    stroke {\n"
            "      load = no\n"
            "    }\n"
            "    resolve {\n"
            "      file = "
         << options.resolverFile.string()
         << "\n"
            "    }\n"
            "    vici {\n"
            "      socket = unix://"
         << (folder / "charon.vici").string()
         << "\n"
            "    }\n"
            "  }\n"
            "  filelog {\n"
            "    corvantis {\n"
            "      path = "
         << (folder / "charon.log").string()
         << "\n"
            "      time_format = %F %T\n"
            "      flush_line = yes\n"
            "      default = 1\n"
            "    }\n"
            "  }\n"
            "  journal {\n"
            "    default = -1\n"
            "  }\n"
            "  syslog {\n"
            "    daemon {\n"
            "      default = -1\n"
            "    }\n"
            "  }\n"
            "}\n";
    return conf.str();
}

CharonDaemon::CharonDaemon(std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::unique_ptr<RunFolder> folder,
                           std::shared_ptr<HelperLog> log)
    : launcher_(std::move(launcher)), folder_(std::move(folder)), log_(std::move(log)) {}

Expected<std::unique_ptr<CharonDaemon>> CharonDaemon::start(std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                                                            const std::filesystem::path& runtimeFolder, const Options& options,
                                                            std::shared_ptr<HelperLog> log) {
    auto folder = RunFolder::make(runtimeFolder, "ikev2-");
    if (!folder) return folder.error();
    auto conf = folder.value()->write("strongswan.conf", configuration(folder.value()->path(), options), 0600);
    if (!conf) return conf.error();
    std::unique_ptr<CharonDaemon> daemon(new CharonDaemon(launcher, std::move(folder.value()), std::move(log)));
    auto pid = launcher->launch(
        {environmentProgram, {"STRONGSWAN_CONF=" + conf.value().string(), options.program.string()}, {}, nullptr},
        // charon's own output says nothing the log file does not; the end is what matters.
        {[](platform::foundation::OutputStream, std::string_view) {},
         [exit = daemon->exit_](platform::foundation::ProcessExit) {
             std::lock_guard lock(exit->mutex);
             exit->ended = true;
             exit->changed.notify_all();
         }});
    if (!pid) return Error{pid.error().code, "charon could not be started: " + pid.error().message};
    daemon->pid_ = pid.value();
    const auto deadline = std::chrono::steady_clock::now() + options.startLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (platform::network::ViciSession::connect(daemon->viciSocket(), 200ms)) return daemon;
        if (daemon->waitForEnd(50ms)) return Error{ECHILD, "charon ended at once; see " + daemon->logFile().string()};
    }
    return Error{ETIMEDOUT, "charon did not open its control socket in time"};
}

bool CharonDaemon::waitForEnd(std::chrono::milliseconds limit) {
    std::unique_lock lock(exit_->mutex);
    return exit_->changed.wait_for(lock, limit, [this] { return exit_->ended; });
}

CharonDaemon::~CharonDaemon() {
    if (pid_ <= 0 || waitForEnd(0ms)) return;
    // SIGTERM lets charon take its routes, addresses and resolver entries away again.
    if (auto sent = launcher_->signalProcessGroup(pid_, SIGTERM); !sent) log_->notice(sent.error().message);
    if (waitForEnd(5s)) return;
    log_->notice("charon did not stop in time; killing it");
    if (auto sent = launcher_->signalProcessGroup(pid_, SIGKILL); !sent) log_->notice(sent.error().message);
    waitForEnd(2s);
}

}  // namespace corvantis::helper
