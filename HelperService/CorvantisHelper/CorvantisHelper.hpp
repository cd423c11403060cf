#pragma once

#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/HelperPasswordItems.hpp"
#include "HelperService/CorvantisHelper/IKEv2Tunnel.hpp"
#include "HelperService/CorvantisHelper/L2TPService.hpp"
#include "HelperService/CorvantisHelper/LinuxCommandLayer.hpp"
#include "HelperService/CorvantisHelper/LoginItem.hpp"
#include "HelperService/CorvantisHelper/OpenVpnRunner.hpp"
#include "HelperService/CorvantisHelper/ResolverBackup.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "platform/xpc/XpcListenerDelegate.hpp"

#include <memory>

namespace corvantis::helper {

// The helper's one exported object: it decides which peers are served and carries out the
// protocol's calls for them. Every connection shares it; calls run concurrently, each on the
// thread of its connection, and the state they share is locked where it lives.
class CorvantisHelper final : public CorvantisHelperProtocol, public platform::xpc::XpcListenerDelegate {
public:
    struct Dependencies {
        HelperConfiguration configuration;
        // Empty: the system log.
        std::shared_ptr<HelperLog> log;
        // Empty: the account database.
        AccountLookup accounts;
        // Empty: this machine's own way of starting L2TP connections (it has none).
        std::shared_ptr<platform::network::ConnectionDriver> l2tpDriver = nullptr;
        // Steps of the network preferences and of the system keychain that are to fail; empty: none.
        std::shared_ptr<platform::network::NetworkFaults> networkFaults = nullptr;
        std::shared_ptr<platform::security::KeychainFaults> keychainFaults = nullptr;
        // Whether the kernel carries ESP; empty: asked of the kernel.
        std::optional<bool> kernelEsp = std::nullopt;
        // Empty: the kernel's route table.
        std::shared_ptr<RouteTable> routes = nullptr;
    };

    // The process launcher comes from the platform services in force now.
    explicit CorvantisHelper(Dependencies dependencies);

    // The process's shared instance, made on first use from what `prepareSharedTool` was given.
    static std::shared_ptr<CorvantisHelper> GetCorvantisHelperTool();
    // Call once, before the first `GetCorvantisHelperTool`.
    static void prepareSharedTool(Dependencies dependencies);

    // XpcListenerDelegate
    bool shouldAcceptNewConnection(const platform::xpc::PeerCredentials& peer) override;
    void didReceiveMessage(const std::shared_ptr<platform::xpc::XpcPeerConnection>& connection, nlohmann::json message) override;
    void listenerDidReport(const std::string& problem) override;

    // CorvantisHelperProtocol
    void runCommand(const std::string& command, TextReply reply) override;
    void runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                    const std::optional<std::string>& password, const std::string& workingDirectory,
                    TextArrayReply reply) override;
    void connectToL2TPServerWithAddress(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& sharedSecret, CodeReply reply) override;
    bool connect() override;
    void disconnect() override;
    void toggleIpv6(bool enable, TextReply reply) override;
    void backupResolvConf() override;
    void restoreResolvConf() override;
    void connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, CodeReply reply) override;
    void disconnectIKEv2() override;

    // The helper's own IKEv2 password items (see HelperPasswordItems).
    static platform::security::KeychainQuery newSearchDictionary(const std::string& identifier);
    std::optional<std::string> searchKeychainCopyMatching(const std::string& identifier) const;
    bool createKeychainValue(const std::string& value, const std::string& identifier);

    // Stops every openvpn this helper started; also part of `disconnect`.
    void killOpenVPN();
    // Before the helper exits: stops its openvpn runs and waits, at most `limit`, until they
    // have ended, so that no tunnel outlives the helper that could stop it.
    bool endTunnels(std::chrono::milliseconds limit);
    // At start: takes back what a killed helper's tunnel left in the system's network.
    void sweepTunnelLeftovers();

private:
    // Who made the call being handled on this thread.
    static platform::xpc::PeerCredentials caller();

    const HelperConfiguration configuration_;
    std::shared_ptr<HelperLog> log_;
    const AllowedCommandLines commandLines_;
    const std::shared_ptr<GuardEndpointsFile> guardEndpoints_;
    const std::shared_ptr<TunnelNetwork> tunnelNetwork_;
    LinuxCommandLayer commandLayer_;
    ResolverBackup resolverBackup_;
    OpenVpnRunner openVpn_;
    const std::shared_ptr<L2TPService> l2tp_;
    HelperPasswordItems passwordItems_;
    IKEv2Tunnel ikev2_;
};

}  // namespace corvantis::helper
