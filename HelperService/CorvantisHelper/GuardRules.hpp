#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "platform/network/RoutingSnapshot.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// What the kill-switch guard lets out: while it enforces, nothing leaves by an interface other
// than loopback and the tunnels, except to the destinations that have host routes through the
// physical gateway (the VPN server, the name servers), DHCP, IPv6 neighbour discovery and the
// packets of connections already established; IPv6 is held like IPv4. While open it lets
// everything through.
struct GuardState {
    bool enforce = false;
    std::vector<Ipv4Address> allowedDestinations;

    bool operator==(const GuardState&) const = default;
};

namespace GuardRules {

inline constexpr const char* tableName = "corvantis_guard";

// The nftables script that replaces the guard's table as a whole, in one transaction.
std::string text(const GuardState& state);

// The destinations with a host route (/32) through `gateway`, in the table's order.
std::vector<Ipv4Address> hostRoutesVia(const platform::network::RoutingSnapshot& routes, const Ipv4Address& gateway);

// The key file the helper writes: "gateway=<address>" and "engaged=1" or "engaged=0". The guard
// enforces from the helper's engaging until the helper itself puts the default route back; a
// default route that another program adds meanwhile opens nothing. None for a damaged file.
struct KeyFile {
    Ipv4Address gateway;
    bool engaged = false;
};
std::optional<KeyFile> readKeyFile(std::string_view content);
std::string keyFileText(const KeyFile& keys);

}  // namespace GuardRules

}  // namespace corvantis::helper
