#pragma once

#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelper/CommandReply.hpp"
#include "HelperService/CorvantisHelper/DefaultGatewayQuery.hpp"
#include "HelperService/CorvantisHelper/GuardEndpointsFile.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"
#include "HelperService/CorvantisHelper/LoginItem.hpp"
#include "HelperService/CorvantisHelper/ProcessRelay.hpp"
#include "HelperService/CorvantisHelper/RouteTable.hpp"
#include "HelperService/CorvantisHelper/TunnelNetwork.hpp"

#include <memory>

namespace corvantis::helper {

// Carries out each accepted command line as its Linux equivalent: route changes and the gateway
// query on the kernel's route table in-process (or, where the configuration names an `ip`
// program, route changes through it), resolver queries from the resolver file, the login item as
// an autostart entry of the calling user, the kill-switch guard as a key file and a systemd unit,
// and nothing where Linux needs nothing.
class LinuxCommandLayer {
public:
    LinuxCommandLayer(const HelperConfiguration& configuration, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                      std::shared_ptr<HelperLog> log, AccountLookup accounts, std::shared_ptr<RouteTable> routes,
                      std::shared_ptr<GuardEndpointsFile> endpoints, std::shared_ptr<const TunnelNetwork> tunnel);

    // `caller` is the user on whose behalf the line came, for the login item.
    void perform(const RootCommand& command, uid_t caller, CommandReply& reply);

private:
    // The lines that ready the bundle's program and driver on macOS: Linux needs none of it.
    template <typename Record>
    static constexpr bool preparesBundle =
        std::is_same_v<Record, OwnTunnelDrivers> || std::is_same_v<Record, OwnOpenVpnProgram> ||
        std::is_same_v<Record, MakeOpenVpnExecutable> || std::is_same_v<Record, LoadTunnelDriver>;

    void carryOut(const AddDefaultRoute& command, uid_t caller, CommandReply& reply);
    void carryOut(const AddHostRoute& command, uid_t caller, CommandReply& reply);
    void carryOut(const DeleteHostRoute& command, uid_t caller, CommandReply& reply);
    void carryOut(const AddTunnelRoute& command, uid_t caller, CommandReply& reply);
    void carryOut(const DeleteTunnelRoute& command, uid_t caller, CommandReply& reply);
    void carryOut(const EngageKillSwitch& command, uid_t caller, CommandReply& reply);
    void carryOut(const ListNameServers& command, uid_t caller, CommandReply& reply);
    void carryOut(const ListResolverSecondFields& command, uid_t caller, CommandReply& reply);
    void carryOut(const FindDefaultGateway& command, uid_t caller, CommandReply& reply);
    void carryOut(const FlushDnsCache& command, uid_t caller, CommandReply& reply);
    void carryOut(const RunDownScript& command, uid_t caller, CommandReply& reply);
    void carryOut(const AddLoginItem& command, uid_t caller, CommandReply& reply);
    void carryOut(const DeleteLoginItem& command, uid_t caller, CommandReply& reply);
    enum class RouteChange { add, remove };
    void changeRoute(RouteChange change, const Ipv4Route& route, CommandReply& reply) const;
    void answerFromResolverFile(std::string (*query)(std::string_view), CommandReply& reply) const;
    void answer(const platform::foundation::Expected<std::string>& text, CommandReply& reply) const;
    void report(const platform::foundation::Expected<void>& done, CommandReply& reply) const;

    const HelperConfiguration configuration_;
    std::shared_ptr<HelperLog> log_;
    ProcessRelay relay_;
    KillSwitchGuard guard_;
    LoginItem loginItem_;
    std::shared_ptr<RouteTable> routes_;
    DefaultGatewayQuery gatewayQuery_;
    const std::shared_ptr<GuardEndpointsFile> endpoints_;
    const std::shared_ptr<const TunnelNetwork> tunnel_;
};

}  // namespace corvantis::helper
