#include "HelperService/CorvantisHelper/LinuxCommandLayer.hpp"

#include "HelperService/CorvantisHelper/ResolverFileQueries.hpp"
#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Expected;

LinuxCommandLayer::LinuxCommandLayer(const HelperConfiguration& configuration,
                                     std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                                     std::shared_ptr<HelperLog> log, AccountLookup accounts)
    : configuration_(configuration),
      log_(log),
      relay_(std::move(launcher), log),
      guard_(configuration_, relay_),
      loginItem_(configuration.applicationExecutable, std::move(accounts)),
      gatewayQuery_(configuration.routeTable, configuration.networkDevices) {}

void LinuxCommandLayer::perform(const AllowedCommand& command, uid_t caller, CommandReply& reply) {
    const auto& addresses = command.addresses;
    switch (command.kind) {
        case CommandKind::addDefaultRoute:
            changeRoute("add", "default", addresses[0], reply);
            // Putting the default route back is how the application releases the kill switch.
            guard_.release(reply);
            break;
        case CommandKind::addHostRoute: changeRoute("add", addresses[0].text() + "/32", addresses[1], reply); break;
        case CommandKind::deleteHostRoute: changeRoute("del", addresses[0].text() + "/32", addresses[1], reply); break;
        case CommandKind::addTunnelRoute: changeRoute("add", "0.0.0.0/1", addresses[0], reply); break;
        case CommandKind::deleteTunnelRoute: changeRoute("del", "0.0.0.0/1", addresses[0], reply); break;
        case CommandKind::engageKillSwitch:
            if (!guard_.install(addresses[0], reply)) log_->notice("The kill-switch guard was not installed");
            // The default route goes whatever became of the guard.
            changeRoute("del", "default", addresses[0], reply);
            break;
        case CommandKind::listNameServers: answerFromResolverFile(&ResolverFileQueries::nameServers, reply); break;
        case CommandKind::listResolverSecondFields:
            answerFromResolverFile(&ResolverFileQueries::secondFields, reply);
            break;
        case CommandKind::findDefaultGateway: answer(gatewayQuery_.answer(), reply); break;
        case CommandKind::flushDnsCache: flushDnsCache(reply); break;
        case CommandKind::runDownScript: runDownScript(reply); break;
        case CommandKind::addLoginItem: report(loginItem_.add(caller), reply); break;
        case CommandKind::deleteLoginItem: report(loginItem_.remove(caller), reply); break;
        case CommandKind::prepareBundleFiles:
            log_->notice("Nothing to prepare on Linux: the bundle's program needs no ownership change or driver");
            break;
    }
}

void LinuxCommandLayer::runDownScript(CommandReply& reply) const {
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

void LinuxCommandLayer::changeRoute(const std::string& verb, const std::string& destination, const Ipv4Address& gateway,
                                    CommandReply& reply) const {
    relay_.run({configuration_.tools.ip, {"-4", "route", verb, destination, "via", gateway.text()}, {}}, reply);
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

void LinuxCommandLayer::flushDnsCache(CommandReply& reply) const {
    if (::access(configuration_.tools.resolvectl.c_str(), X_OK) != 0) {
        log_->notice("No resolver cache to flush: " + configuration_.tools.resolvectl.string() + " is not installed");
        return;
    }
    relay_.run({configuration_.tools.resolvectl, {"flush-caches"}, {}}, reply);
}

}  // namespace corvantis::helper
