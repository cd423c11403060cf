#include "HelperService/CorvantisHelper/GuardDaemon.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/InputPipe.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/network/NetlinkSocket.hpp"
#include "platform/network/RouteMonitor.hpp"

#include <csignal>
#include <pthread.h>

namespace corvantis::helper {

GuardDaemon::GuardDaemon(std::filesystem::path keyFile, std::filesystem::path nft,
                         std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log)
    : keyFile_(std::move(keyFile)), nft_(std::move(nft)), launcher_(std::move(launcher)), log_(std::move(log)) {}

bool GuardDaemon::apply() {
    std::lock_guard lock(mutex_);
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
    GuardState state{true, {}};
    if (keys) state = {keys->engaged, GuardRules::hostRoutesVia(routes.value(), keys->gateway)};
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
    log_->notice(std::string("The guard ") + (state.enforce ? "holds" : "lets through") + " traffic; " +
                 std::to_string(state.allowedDestinations.size()) + " destinations allowed");
    return true;
}

int GuardDaemon::run() {
    // Blocked before the monitor's thread starts, so that only this thread takes them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    apply();
    auto monitor = platform::network::RouteMonitor::start([this] { apply(); });
    if (!monitor) {
        log_->notice("The guard cannot watch the routes: " + monitor.error().message);
        return 1;
    }
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}

}  // namespace corvantis::helper
