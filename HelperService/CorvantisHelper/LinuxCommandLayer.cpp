#include "HelperService/CorvantisHelper/LinuxCommandLayer.hpp"

#include "HelperService/CorvantisHelper/GuardInputs.hpp"
#include "HelperService/CorvantisHelper/ResolverFileQueries.hpp"
#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Expected;

LinuxCommandLayer::LinuxCommandLayer(const HelperConfiguration& configuration,
                                     std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                                     std::shared_ptr<HelperLog> log, AccountLookup accounts, std::shared_ptr<RouteTable> routes,
                                     std::shared_ptr<GuardEndpointsFile> endpoints, std::shared_ptr<const TunnelNetwork> tunnel)
    : configuration_(configuration),
      log_(log),
      relay_(std::move(launcher), log),
      guard_(configuration_, relay_),
      loginItem_(configuration.applicationExecutable, std::move(accounts)),
      routes_(std::move(routes)),
      gatewayQuery_(routes_),
      endpoints_(std::move(endpoints)),
      tunnel_(std::move(tunnel)) {}

void LinuxCommandLayer::perform(const RootCommand& command, uid_t caller, CommandReply& reply) {
    std::visit(
        [&](const auto& record) {
            if constexpr (preparesBundle<std::decay_t<decltype(record)>>) {
                log_->notice("Nothing to prepare on Linux: the bundle's program needs no ownership change or driver");
            } else {
                carryOut(record, caller, reply);
            }
        },
        command);
}

void LinuxCommandLayer::carryOut(const AddDefaultRoute& command, uid_t, CommandReply& reply) {
    changeRoute(RouteChange::add, {{}, 0, command.gateway}, reply);
    // Putting the default route back is how the application releases the kill switch.
    guard_.release(reply);
}

void LinuxCommandLayer::carryOut(const AddHostRoute& command, uid_t, CommandReply& reply) {
    // A route opens nothing in the guard but the server of the last profile rendered, which
    // the application routes again when it engages while connected.
    endpoints_->recall(command.destination);
    changeRoute(RouteChange::add, {command.destination, 32, command.gateway}, reply);
}

void LinuxCommandLayer::carryOut(const DeleteHostRoute& command, uid_t, CommandReply& reply) {
    // The application takes the server's route away when it leaves that server.
    endpoints_->forget(command.destination);
    changeRoute(RouteChange::remove, {command.destination, 32, command.gateway}, reply);
}

void LinuxCommandLayer::carryOut(const AddTunnelRoute& command, uid_t, CommandReply& reply) {
    changeRoute(RouteChange::add, {{}, 1, command.gateway}, reply);
}

void LinuxCommandLayer::carryOut(const DeleteTunnelRoute& command, uid_t, CommandReply& reply) {
    changeRoute(RouteChange::remove, {{}, 1, command.gateway}, reply);
}

void LinuxCommandLayer::carryOut(const EngageKillSwitch& command, uid_t, CommandReply& reply) {
    if (!guard_.install(command.gateway, reply)) log_->notice("The kill-switch guard was not installed");
    // The default route goes whatever became of the guard.
    changeRoute(RouteChange::remove, {{}, 0, command.gateway}, reply);
}

void LinuxCommandLayer::carryOut(const ListNameServers&, uid_t, CommandReply& reply) {
    // The resolvers outside the tunnel, which the application routes through the gateway: the
    // tunnel's own are reached only through it, and such a route would take them out of it.
    const auto& resolver = tunnel_->resolver();
    const auto content = resolver.fileOutsideTunnel();
    if (!content) return answer(content.error(), reply);
    const auto upstreams = platform::foundation::FileSystem::readFile(GuardInputPaths{}.resolvedUpstream);
    answer(ResolverFileQueries::nameServers(content.value(), upstreams ? upstreams.value() : std::string(),
                                            resolver.tunnelNameServers()),
           reply);
}

void LinuxCommandLayer::carryOut(const ListResolverSecondFields&, uid_t, CommandReply& reply) {
    answerFromResolverFile(&ResolverFileQueries::secondFields, reply);
}

void LinuxCommandLayer::carryOut(const FindDefaultGateway&, uid_t, CommandReply& reply) {
    answer(gatewayQuery_.answer(), reply);
}

void LinuxCommandLayer::carryOut(const FlushDnsCache&, uid_t, CommandReply& reply) {
    if (::access(configuration_.tools.resolvectl.c_str(), X_OK) != 0) {
        log_->notice("No resolver cache to flush: " + configuration_.tools.resolvectl.string() + " is not installed");
        return;
    }
    relay_.run({configuration_.tools.resolvectl, {"flush-caches"}, {}}, reply);
}

void LinuxCommandLayer::carryOut(const AddLoginItem&, uid_t caller, CommandReply& reply) {
    report(loginItem_.add(caller), reply);
}

void LinuxCommandLayer::carryOut(const DeleteLoginItem&, uid_t caller, CommandReply& reply) {
    report(loginItem_.remove(caller), reply);
}

void LinuxCommandLayer::carryOut(const RunDownScript&, uid_t, CommandReply& reply) {
    // The script runs as root: only a copy that nobody but root could have written, read once,
    // so that the file cannot change between the check and the run.
    const auto path = configuration_.bundleResources / "down.sh";
    auto script = RootFiles::readTrustedFile(path);
    if (!script) {
        log_->notice("Refusing to run the down script: " + script.error().message);
        return;
    }
    relay_.run({configuration_.tools.shell, {"-c", script.value(), path.string()}, {}}, reply);
}

void LinuxCommandLayer::changeRoute(RouteChange change, const Ipv4Route& route, CommandReply& reply) const {
    const char* verb = change == RouteChange::add ? "add" : "del";
    const std::string destination =
        route.prefixLength == 0 ? "default" : route.destination.text() + "/" + std::to_string(route.prefixLength);
    if (!configuration_.tools.ip.empty()) {
        relay_.run({configuration_.tools.ip, {"-4", "route", verb, destination, "via", route.gateway.text()}, {}}, reply);
        return;
    }
    // The addresses are the caller's: the log says only which kind of route changes.
    const std::string described = std::string("Route ") + verb + " of a /" + std::to_string(route.prefixLength) + " route";
    log_->notice(described);
    const auto done = change == RouteChange::add ? routes_->add(route) : routes_->remove(route);
    if (done) return;
    // What `ip` would have printed, so that the application hears the same.
    log_->notice(described + " failed: " + done.error().message);
    reply.sendOutput(done.error().message + "\n");
}

void LinuxCommandLayer::answerFromResolverFile(std::string (*query)(std::string_view), CommandReply& reply) const {
    auto content = platform::foundation::FileSystem::readFile(configuration_.resolver.etc);
    if (!content) {
        answer(content.error(), reply);
        return;
    }
    answer(query(content.value()), reply);
}

void LinuxCommandLayer::answer(const Expected<std::string>& text, CommandReply& reply) const {
    if (!text) {
        // Nothing usable: the caller gets the empty answer, as from a query that found nothing.
        log_->notice(text.error().message);
        return;
    }
    reply.sendOutput(text.value());
}

void LinuxCommandLayer::report(const Expected<void>& done, CommandReply& reply) const {
    if (done) return;
    log_->notice(done.error().message);
    reply.sendOutput(done.error().message + "\n");
}

}  // namespace corvantis::helper
