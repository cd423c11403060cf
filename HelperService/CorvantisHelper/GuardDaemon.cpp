#include "HelperService/CorvantisHelper/GuardDaemon.hpp"

#include "HelperService/CorvantisHelper/FileChangeWatch.hpp"
#include "HelperService/CorvantisHelper/NftablesWatch.hpp"
#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/InputPipe.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/network/NetlinkSocket.hpp"
#include "platform/network/RouteMonitor.hpp"
#include "platform/network/RoutingSnapshot.hpp"

#include <arpa/inet.h>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace corvantis::helper {

namespace {

// systemd's readiness notification (sd_notify's "READY=1"), without linking libsystemd into a
// root daemon for one datagram. Nothing to do when systemd did not ask for it.
void notifyReady(HelperLog& log) {
    const char* socketName = std::getenv("NOTIFY_SOCKET");
    if (socketName == nullptr || *socketName == '\0') return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(socketName);
    if (length >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, socketName, length);
    if (address.sun_path[0] == '@') address.sun_path[0] = '\0';  // an abstract socket
    const platform::foundation::FileDescriptor socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    constexpr char ready[] = "READY=1";
    if (::sendto(socket.get(), ready, sizeof ready - 1, 0, reinterpret_cast<const sockaddr*>(&address),
                 static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length)) < 0) {
        log.notice(std::string("The guard could not tell systemd it is ready: ") + std::strerror(errno));
    }
}

// The interface the gateway is reached by, unless it is loopback or a tunnel.
std::string physicalLinkTo(const platform::network::RoutingSnapshot& routes, const Ipv4Address& gateway) {
    const auto path = routes.pathTo({ntohl(gateway.networkOrder())});
    if (path.interfaceName == "lo" || path.interfaceName.starts_with("tun")) return {};
    return path.interfaceName;
}

}  // namespace

GuardDaemon::GuardDaemon(std::filesystem::path keyFile, std::filesystem::path nft, GuardInputPaths inputs,
                         std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log)
    : keyFile_(std::move(keyFile)),
      nft_(std::move(nft)),
      inputs_(std::move(inputs)),
      launcher_(std::move(launcher)),
      log_(std::move(log)) {}

bool GuardDaemon::apply() {
    std::lock_guard lock(mutex_);
    return applyLocked();
}

bool GuardDaemon::reassert() {
    std::lock_guard lock(mutex_);
    if (!applied_ || listedTable() == appliedListing_) return true;
    log_->notice("The guard's table was removed or changed by another program: putting it back");
    applied_.reset();
    return applyLocked();
}

std::string GuardDaemon::listedTable() const {
    const auto listed = platform::foundation::runToEnd(*launcher_, {nft_, {"list", "table", "inet", GuardRules::tableName}, {}});
    if (!listed || !listed.value().exit.succeeded()) return {};
    return listed.value().standardOutput;
}

bool GuardDaemon::applyLocked() {
    // Only a key file that nobody but root can have written decides what root lets through.
    const auto content = RootFiles::readTrustedFile(keyFile_);
    const auto keys = content ? GuardRules::readKeyFile(content.value()) : std::nullopt;
    if (!keys) {
        log_->notice("The guard's key file " + keyFile_.string() + " is missing or damaged: holding everything back");
    }
    auto socket = platform::network::NetlinkSocket::open();
    auto routes = socket ? platform::network::RoutingSnapshot::read(socket.value()) : socket.error();
    if (!routes) {
        log_->notice("The guard cannot read the routes: " + routes.error().message);
        return false;
    }
    // Without a usable key file the guard fails closed.
    GuardState state{true, {}, {}, {}, {}};
    if (keys) {
        // Missing while no tunnel was started since the machine came up: no server to let out.
        const auto endpoints = RootFiles::readTrustedFile(inputs_.endpoints);
        const auto link = physicalLinkTo(routes.value(), keys->gateway);
        state = {keys->engaged, endpoints ? ServerEndpoints::read(endpoints.value()) : std::vector<ServerEndpoint>{},
                 GuardInputs::nameServers(inputs_), link, GuardInputs::dhcpServer(inputs_, link)};
    }
    if (applied_ == state) return true;

    auto input = platform::foundation::InputPipe::make();
    if (!input) return false;
    if (!input.value()->write(GuardRules::text(state))) return false;
    input.value()->closeWriter();
    const auto ran = platform::foundation::runToEnd(*launcher_, {nft_, {"-f", "-"}, {}, input.value()});
    if (!ran || !ran.value().exit.succeeded()) {
        log_->notice("nft refused the guard's rules: " + (ran ? ran.value().standardError : ran.error().message));
        return false;
    }
    applied_ = state;
    appliedListing_ = listedTable();
    log_->notice(std::string("The guard ") + (state.enforce ? "holds" : "lets through") + " traffic; " +
                 std::to_string(state.endpoints.size()) + " server endpoints and " + std::to_string(state.nameServers.size()) +
                 " name servers allowed");
    return true;
}

int GuardDaemon::run() {
    // Blocked before the watches' threads start, so that only this thread takes them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    // The watches listen before the first reading of their inputs, so that a change made
    // meanwhile (the helper handing over a tunnel's server as the guard starts) is not missed.
    auto monitor = platform::network::RouteMonitor::start([this] { apply(); });
    if (!monitor) {
        log_->notice("The guard cannot watch the routes: " + monitor.error().message);
        return 1;
    }
    auto files =
        FileChangeWatch::start({keyFile_, inputs_.endpoints, inputs_.resolver, inputs_.resolvedUpstream}, [this] { apply(); });
    if (!files) {
        log_->notice("The guard cannot watch its files: " + files.error().message);
        return 1;
    }
    auto firewall = NftablesWatch::start([this] { reassert(); });
    if (!firewall) {
        log_->notice("The guard cannot watch the firewall: " + firewall.error().message);
        return 1;
    }
    // Ready means protected: systemd hears of it only once the table stands.
    if (!apply()) return 1;
    notifyReady(*log_);
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}

}  // namespace corvantis::helper
