#include "HelperService/CorvantisHelper/CorvantisHelper.hpp"

#include "HelperService/CorvantisHelper/CharonL2TPIpsec.hpp"
#include "HelperService/CorvantisHelper/DaemonHelperLog.hpp"
#include "HelperService/CorvantisHelper/KernelEsp.hpp"
#include "HelperService/CorvantisHelper/L2TPIPsecDriver.hpp"
#include "HelperService/CorvantisHelper/NetlinkRouteTable.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/Once.hpp"

#include <nlohmann/json.hpp>
#include <optional>
#include <unistd.h>

namespace corvantis::helper {

namespace {

std::optional<CorvantisHelper::Dependencies>& preparedDependencies() {
    static std::optional<CorvantisHelper::Dependencies> dependencies;
    return dependencies;
}

IKEv2Tunnel::Options ikev2Options(const HelperConfiguration& configuration, std::optional<bool> kernelEsp) {
    IKEv2Tunnel::Options options;
    options.charon.program = configuration.tools.charon;
    options.charon.resolverFile = configuration.resolver.etc;
    options.charon.userSpaceEsp = !(kernelEsp ? *kernelEsp : KernelEsp::available());
    options.runtimeFolder = configuration.runtimeFolder;
    options.authorities = configuration.ikev2Authorities;
    return options;
}

// The L2TP/IPsec client made of strongSwan, xl2tpd and pppd when all three are installed;
// otherwise none, and L2TP starts are refused as before.
std::shared_ptr<platform::network::ConnectionDriver> installedL2TPDriver(const HelperConfiguration& configuration,
                                                                         std::shared_ptr<HelperLog> log,
                                                                         std::optional<bool> kernelEsp) {
    const auto& tools = configuration.tools;
    for (const auto* program : {&tools.charon, &tools.xl2tpd, &tools.pppd}) {
        if (::access(program->c_str(), X_OK) != 0) return nullptr;
    }
    auto launcher = platform::Services::current().processLauncher();
    CharonL2TPIpsec::Options ipsec;
    ipsec.charon = ikev2Options(configuration, kernelEsp).charon;
    // charon's own ESP has no transport mode: the SA is a host-to-host tunnel instead.
    ipsec.charon.allowPeerTrafficSelectors = ipsec.charon.userSpaceEsp;
    ipsec.runtimeFolder = configuration.runtimeFolder;
    L2TPIPsecDriver::Platform platform;
    platform.runtimeFolder = configuration.runtimeFolder;
    platform.xl2tpd = tools.xl2tpd;
    platform.systemKeychain = configuration.systemKeychain;
    platform.launcher = launcher;
    platform.ipsec = std::make_shared<CharonL2TPIpsec>(std::move(ipsec), launcher, log);
    platform.log = log;
    return std::make_shared<L2TPIPsecDriver>(std::move(platform));
}

}  // namespace

CorvantisHelper::CorvantisHelper(Dependencies dependencies)
    : configuration_(std::move(dependencies.configuration)),
      log_(dependencies.log ? std::move(dependencies.log) : std::make_shared<DaemonHelperLog>()),
      commandLines_(configuration_.bundleResources),
      guardEndpoints_(std::make_shared<GuardEndpointsFile>(configuration_.guard.endpoints, log_)),
      tunnelNetwork_(std::make_shared<TunnelNetwork>(configuration_, platform::Services::current().processLauncher(), log_)),
      commandLayer_(configuration_, platform::Services::current().processLauncher(), log_,
                    dependencies.accounts ? std::move(dependencies.accounts) : AccountLookup(lookUpAccount),
                    dependencies.routes ? std::move(dependencies.routes) : std::make_shared<NetlinkRouteTable>(), guardEndpoints_,
                    tunnelNetwork_),
      resolverBackup_(configuration_.resolver, log_),
      openVpn_(configuration_, platform::Services::current().processLauncher(), log_, {guardEndpoints_, tunnelNetwork_}),
      l2tp_(std::make_shared<L2TPService>(
          L2TPService::Platform{configuration_.networkPreferences,
                                dependencies.l2tpDriver ? std::move(dependencies.l2tpDriver)
                                                        : installedL2TPDriver(configuration_, log_, dependencies.kernelEsp),
                                std::move(dependencies.networkFaults)},
          std::make_shared<VPNKeychain>(configuration_.systemKeychain, log_, std::move(dependencies.keychainFaults)), log_)),
      // Beside the system keychain, in the same root-only folder.
      passwordItems_(configuration_.systemKeychain.parent_path() / (std::string(HelperPasswordItems::service) + ".keychain")),
      ikev2_(ikev2Options(configuration_, dependencies.kernelEsp), platform::Services::current().processLauncher(), log_) {}

std::shared_ptr<CorvantisHelper> CorvantisHelper::GetCorvantisHelperTool() {
    static platform::dispatch::Once once;
    static std::shared_ptr<CorvantisHelper> tool;
    once.perform([] {
        auto& prepared = preparedDependencies();
        tool = std::make_shared<CorvantisHelper>(prepared ? std::move(*prepared) : Dependencies{});
    });
    return tool;
}

void CorvantisHelper::prepareSharedTool(Dependencies dependencies) {
    preparedDependencies() = std::move(dependencies);
}

bool CorvantisHelper::shouldAcceptNewConnection(const platform::xpc::PeerCredentials& peer) {
    // A refused peer writes nothing here: the listener sums refusals up, so that a user who
    // connects in a loop cannot flood the log.
    if (!configuration_.allows(peer.uid)) return false;
    log_->notice("new incoming connection");
    return true;
}

void CorvantisHelper::didReceiveMessage(const std::shared_ptr<platform::xpc::XpcPeerConnection>& connection,
                                        nlohmann::json message) {
    auto call = HelperWireCodec::decodeCall(message);
    if (!call) {
        log_->notice("Refused a request from uid " + std::to_string(connection->peer().uid) + ": " + call.error().message);
        return;
    }
    HelperWireCodec::deliver(call.value(), *this, [connection](const nlohmann::json& reply) { connection->sendReply(reply); });
}

platform::xpc::PeerCredentials CorvantisHelper::caller() {
    if (const auto connection = platform::xpc::XpcPeerConnection::current()) return connection->peer();
    // A call made inside the helper itself.
    return {::getpid(), ::geteuid(), ::getegid()};
}

void CorvantisHelper::listenerDidReport(const std::string& problem) {
    log_->notice(problem);
}

void CorvantisHelper::runCommand(const std::string& command, TextReply reply) {
    CommandReply replies(std::move(reply));
    const auto matched = commandLines_.match(command);
    if (const auto* refusal = std::get_if<CommandRefusal>(&matched)) {
        // The line itself stays out of the log: it may carry whatever its sender put in it.
        log_->notice("Refused a command from uid " + std::to_string(caller().uid) + ": " + refusal->summary);
    } else {
        commandLayer_.perform(std::get<RootCommand>(matched), caller().uid, replies);
    }
    replies.finish();
}

void CorvantisHelper::runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                                 const std::optional<std::string>& password, const std::string& workingDirectory,
                                 TextArrayReply reply) {
    openVpn_.runOpenVPN(path, config, userName, password, workingDirectory, caller(), std::move(reply));
}

void CorvantisHelper::connectToL2TPServerWithAddress(const std::optional<std::string>& address,
                                                     const std::optional<std::string>& username,
                                                     const std::optional<std::string>& password,
                                                     const std::optional<std::string>& sharedSecret, CodeReply reply) {
    l2tp_->connectToL2TPServerWithAddress(address, username, password, sharedSecret, std::move(reply));
}

bool CorvantisHelper::connect() {
    return l2tp_->connect();
}

void CorvantisHelper::disconnect() {
    killOpenVPN();
    l2tp_->disconnect();
    ikev2_.disconnect();
}

void CorvantisHelper::connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, CodeReply reply) {
    const auto result = ikev2_.connect(settings, password);
    if (reply) reply(static_cast<int>(result));
}

void CorvantisHelper::disconnectIKEv2() {
    ikev2_.disconnect();
}

void CorvantisHelper::killOpenVPN() {
    openVpn_.killOpenVPN();
}

bool CorvantisHelper::endTunnels(std::chrono::milliseconds limit) {
    l2tp_->endConnection();
    ikev2_.disconnect();
    killOpenVPN();
    return openVpn_.waitUntilAllEnded(limit);
}

void CorvantisHelper::sweepTunnelLeftovers() {
    tunnelNetwork_->sweep();
}

void CorvantisHelper::toggleIpv6(bool, TextReply) {
    // Does nothing and never replies: the application sends it without a reply block.
}

void CorvantisHelper::backupResolvConf() {
    resolverBackup_.backup();
}

void CorvantisHelper::restoreResolvConf() {
    resolverBackup_.restore();
}

platform::security::KeychainQuery CorvantisHelper::newSearchDictionary(const std::string& identifier) {
    return HelperPasswordItems::newSearchDictionary(identifier);
}

std::optional<std::string> CorvantisHelper::searchKeychainCopyMatching(const std::string& identifier) const {
    return passwordItems_.searchKeychainCopyMatching(identifier);
}

bool CorvantisHelper::createKeychainValue(const std::string& value, const std::string& identifier) {
    return passwordItems_.createKeychainValue(value, identifier);
}

}  // namespace corvantis::helper
