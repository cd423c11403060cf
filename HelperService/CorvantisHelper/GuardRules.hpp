#pragma once

#include "HelperService/CorvantisHelper/ServerEndpoints.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// What the kill-switch guard lets out. While it enforces, nothing leaves by an interface other
// than loopback and the tunnels, except: the current VPN server's endpoints, each for its own
// transport and port; DNS alone to the name servers; DHCP's own exchange on the physical link;
// IPv6 neighbour discovery. A host route, whoever asked for it, opens nothing. A flow already
// established elsewhere gets no exception. IPv6 is held like IPv4. While open it lets
// everything through.
struct GuardState {
    bool enforce = false;
    std::vector<ServerEndpoint> endpoints;
    // IPv4 or IPv6 addresses, as inet_ntop writes them.
    std::vector<std::string> nameServers;
    // The interface the gateway is reached by; empty while unknown (before it is configured).
    std::string physicalLink;
    // The DHCP server that the physical link's lease names.
    std::optional<Ipv4Address> dhcpServer;

    bool operator==(const GuardState&) const = default;
};

namespace GuardRules {

inline constexpr const char* tableName = "corvantis_guard";

// The nftables script that replaces the guard's table as a whole, in one transaction.
std::string text(const GuardState& state);

// The key file only the helper writes: "gateway=<address>", then "engaged=1" or "engaged=0". The
// guard enforces from the helper's engaging until the helper itself puts the default route
// back. It outlives a reboot, so it changes only when the kill switch does. None for a damaged
// file.
struct KeyFile {
    Ipv4Address gateway;
    bool engaged = false;
    bool operator==(const KeyFile&) const = default;
};
std::optional<KeyFile> readKeyFile(std::string_view content);
std::string keyFileText(const KeyFile& keys);

}  // namespace GuardRules

}  // namespace corvantis::helper
