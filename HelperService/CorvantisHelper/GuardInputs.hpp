#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// Where the kill-switch guard learns what it lets out besides the key file: the current VPN
// server's endpoints, the name servers of the resolver configuration and the DHCP server of the
// physical link's lease.
struct GuardInputPaths {
    // Written by the helper for each tunnel it starts. In /run, which always exists (the guard
    // watches the folder) and is empty after a reboot, as a route is.
    std::filesystem::path endpoints = "/run/corvantis-guard.endpoints";
    std::filesystem::path resolver = "/etc/resolv.conf";
    // The servers behind systemd-resolved's local stub (127.0.0.53).
    std::filesystem::path resolvedUpstream = "/run/systemd/resolve/resolv.conf";
    // systemd-networkd's leases, one file per interface index.
    std::filesystem::path networkdLeases = "/run/systemd/netif/leases";
    // dhclient's leases ("dhclient.<interface>.leases", "dhclient.leases").
    std::filesystem::path dhclientLeases = "/var/lib/dhcp";
};

// Every value read here ends up in the guard's rules, so only addresses that parse strictly are
// taken, written out again in their one canonical form.
namespace GuardInputs {

// The "nameserver" addresses of a resolver file (IPv4 and IPv6), in order, without repeats.
std::vector<std::string> nameServersIn(std::string_view resolverFile);
// The name servers the machine asks: those of the resolver configuration, and behind a local
// stub resolver the servers it forwards to.
std::vector<std::string> nameServers(const GuardInputPaths& paths);

// "SERVER_ADDRESS=" of a systemd-networkd lease.
std::optional<Ipv4Address> serverOfNetworkdLease(std::string_view lease);
// "option dhcp-server-identifier" of the last lease for `link` in a dhclient lease file.
std::optional<Ipv4Address> serverOfDhclientLeases(std::string_view leases, std::string_view link);
// The DHCP server of `link`'s lease, from whichever DHCP client holds one.
std::optional<Ipv4Address> dhcpServer(const GuardInputPaths& paths, const std::string& link);

}  // namespace GuardInputs

}  // namespace corvantis::helper
