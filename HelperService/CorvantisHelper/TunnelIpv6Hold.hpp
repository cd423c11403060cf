#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace corvantis::helper {

// While a tunnel is up, IPv6 that the tunnel does not carry stays in: an nftables table of its
// own drops IPv6 leaving by any interface but loopback and the tunnels (neighbour discovery
// aside), whether or not the kill switch is on. A firewall rule rather than a change to openvpn's
// profile, because it leaves IPv6 that a server does carry alone and needs nothing of the server.
class TunnelIpv6Hold {
public:
    static constexpr const char* tableName = "corvantis_tunnel_ipv6";

    TunnelIpv6Hold(std::filesystem::path nft, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                   std::shared_ptr<HelperLog> log);

    void hold();
    // Nothing when there is no hold, so that a start-up check changes no firewall.
    void release();

    static std::string tableText();

private:
    bool run(const std::string& script) const;

    const std::filesystem::path nft_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
};

}  // namespace corvantis::helper
