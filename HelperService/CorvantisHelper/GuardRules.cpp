#include "HelperService/CorvantisHelper/GuardRules.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <sstream>

namespace corvantis::helper::GuardRules {

namespace {

// The same rules on the locally made packets and on those passed through (containers, VMs).
void appendChain(std::ostringstream& out, const char* name, const char* hook, const GuardState& state) {
    out << "  chain " << name << " {\n"
        << "    type filter hook " << hook << " priority 0; policy " << (state.enforce ? "drop" : "accept") << ";\n";
    if (state.enforce) {
        out << "    oifname \"lo\" accept\n"
            << "    oifname \"tun*\" accept\n"
            << "    ct state established,related accept\n";
        if (!state.allowedDestinations.empty()) {
            out << "    ip daddr { ";
            for (std::size_t index = 0; index < state.allowedDestinations.size(); ++index) {
                out << (index == 0 ? "" : ", ") << state.allowedDestinations[index].text();
            }
            out << " } accept\n";
        }
        out << "    udp sport 68 udp dport 67 accept\n"
            << "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n";
    }
    out << "  }\n";
}

}  // namespace

std::string text(const GuardState& state) {
    std::ostringstream out;
    // Adding first makes the deletion succeed whether or not the table was there.
    out << "add table inet " << tableName << "\n"
        << "delete table inet " << tableName << "\n"
        << "table inet " << tableName << " {\n";
    appendChain(out, "output", "output", state);
    appendChain(out, "forward", "forward", state);
    out << "}\n";
    return out.str();
}

std::vector<Ipv4Address> hostRoutesVia(const platform::network::RoutingSnapshot& routes, const Ipv4Address& gateway) {
    std::vector<Ipv4Address> destinations;
    for (const auto& route : routes.routes()) {
        if (route.prefixLength != 32 || !route.gateway) continue;
        if (Ipv4Address::fromNetworkOrder(htonl(*route.gateway)) != gateway) continue;
        const auto destination = Ipv4Address::fromNetworkOrder(htonl(route.destination));
        if (std::find(destinations.begin(), destinations.end(), destination) == destinations.end()) {
            destinations.push_back(destination);
        }
    }
    return destinations;
}

std::optional<KeyFile> readKeyFile(std::string_view content) {
    std::optional<Ipv4Address> gateway;
    bool engaged = false;
    std::istringstream lines{std::string(content)};
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("gateway=")) gateway = Ipv4Address::parse(line.substr(8));
        if (line == "engaged=1") engaged = true;
    }
    if (!gateway) return std::nullopt;
    return KeyFile{*gateway, engaged};
}

std::string keyFileText(const KeyFile& keys) {
    return "gateway=" + keys.gateway.text() + "\nengaged=" + (keys.engaged ? "1" : "0") + "\n";
}

}  // namespace corvantis::helper::GuardRules
