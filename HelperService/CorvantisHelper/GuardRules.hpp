#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// What the kill-switch guard lets out. While it enforces, nothing leaves by an interface other
// than loopback and the tunnels, except: anything to the destinations the helper itself routed
// through the physical gateway (the VPN server); DNS alone to the name servers; DHCP's own
// exchange on the physical link; IPv6 neighbour discovery. A flow already established elsewhere
// gets no exception. IPv6 is held like IPv4. While open it lets everything through.
struct GuardState {
    bool enforce = false;
    std::vector<Ipv4Address> allowedDestinations;
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

// A host route the helper made, to a destination through a gateway.
struct HostRoute {
    Ipv4Address destination;
    Ipv4Address gateway;
    bool operator==(const HostRoute&) const = default;
};

// The key file only the helper writes: "gateway=<address>", "engaged=1" or "engaged=0", then a
// line "route=<destination> via <gateway>" for each host route it made. The guard enforces from
// the helper's engaging until the helper itself puts the default route back, and lets out only
// the routed destinations through the key file's gateway: a route another program adds opens
// nothing. None for a damaged file.
struct KeyFile {
    Ipv4Address gateway;
    bool engaged = false;
    std::vector<HostRoute> routes;
};
std::optional<KeyFile> readKeyFile(std::string_view content);
std::string keyFileText(const KeyFile& keys);

// The file after the helper routed or unrouted `route`: one entry per destination, the newest
// kept when there are too many.
void addRoute(KeyFile& keys, const HostRoute& route);
void removeRoute(KeyFile& keys, const HostRoute& route);

// The destinations through the key file's gateway that are not name servers.
std::vector<Ipv4Address> allowedDestinations(const KeyFile& keys, const std::vector<std::string>& nameServers);

}  // namespace GuardRules

}  // namespace corvantis::helper
