#include "HelperService/CorvantisHelper/GuardRules.hpp"

#include <algorithm>
#include <sstream>

namespace corvantis::helper::GuardRules {

namespace {

// More than any one network needs; a key file cannot grow without bound.
constexpr std::size_t maximumRoutes = 64;

std::string setOf(const std::vector<std::string>& items) {
    std::string set = "{ ";
    for (std::size_t index = 0; index < items.size(); ++index) set += (index == 0 ? "" : ", ") + items[index];
    return set + " }";
}

// The same rules on the locally made packets and on those passed through (containers, VMs).
void appendChain(std::ostringstream& out, const char* name, const char* hook, const GuardState& state) {
    out << "  chain " << name << " {\n"
        << "    type filter hook " << hook << " priority 0; policy " << (state.enforce ? "drop" : "accept") << ";\n";
    if (state.enforce) {
        out << "    oifname \"lo\" accept\n"
            << "    oifname \"tun*\" accept\n";
        if (!state.allowedDestinations.empty()) {
            std::vector<std::string> destinations;
            for (const auto& destination : state.allowedDestinations) destinations.push_back(destination.text());
            out << "    ip daddr " << setOf(destinations) << " accept\n";
        }
        std::vector<std::string> servers4, servers6;
        for (const auto& server : state.nameServers)
            (server.find(':') == std::string::npos ? servers4 : servers6).push_back(server);
        if (!servers4.empty()) out << "    ip daddr " << setOf(servers4) << " meta l4proto { tcp, udp } th dport 53 accept\n";
        if (!servers6.empty()) out << "    ip6 daddr " << setOf(servers6) << " meta l4proto { tcp, udp } th dport 53 accept\n";
        std::vector<std::string> dhcp{"255.255.255.255"};
        if (state.dhcpServer) dhcp.push_back(state.dhcpServer->text());
        out << "    " << (state.physicalLink.empty() ? "" : "oifname \"" + state.physicalLink + "\" ")
            << "udp sport 68 udp dport 67 ip daddr " << setOf(dhcp) << " accept\n"
            << "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n";
    }
    out << "  }\n";
}

// An interface name nft can take between quotes as it stands: what the kernel allows, less
// anything with a meaning to nft.
bool isPlainLinkName(const std::string& name) {
    return !name.empty() && name.size() < 16 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    });
}

std::optional<HostRoute> parseRoute(std::string_view text) {
    const auto via = text.find(" via ");
    if (via == std::string_view::npos) return std::nullopt;
    const auto destination = Ipv4Address::parse(text.substr(0, via));
    const auto gateway = Ipv4Address::parse(text.substr(via + 5));
    if (!destination || !gateway) return std::nullopt;
    return HostRoute{*destination, *gateway};
}

}  // namespace

std::string text(const GuardState& state) {
    GuardState checked = state;
    if (!isPlainLinkName(checked.physicalLink)) checked.physicalLink.clear();
    std::ostringstream out;
    // Adding first makes the deletion succeed whether or not the table was there.
    out << "add table inet " << tableName << "\n"
        << "delete table inet " << tableName << "\n"
        << "table inet " << tableName << " {\n";
    appendChain(out, "output", "output", checked);
    appendChain(out, "forward", "forward", checked);
    out << "}\n";
    return out.str();
}

std::optional<KeyFile> readKeyFile(std::string_view content) {
    std::optional<Ipv4Address> gateway;
    KeyFile keys;
    std::istringstream lines{std::string(content)};
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("gateway=")) gateway = Ipv4Address::parse(line.substr(8));
        if (line == "engaged=1") keys.engaged = true;
        if (line.starts_with("route=")) {
            const auto route = parseRoute(std::string_view(line).substr(6));
            if (!route) return std::nullopt;
            addRoute(keys, *route);
        }
    }
    if (!gateway) return std::nullopt;
    keys.gateway = *gateway;
    return keys;
}

std::string keyFileText(const KeyFile& keys) {
    std::string text = "gateway=" + keys.gateway.text() + "\nengaged=" + (keys.engaged ? "1" : "0") + "\n";
    for (const auto& route : keys.routes) text += "route=" + route.destination.text() + " via " + route.gateway.text() + "\n";
    return text;
}

void addRoute(KeyFile& keys, const HostRoute& route) {
    std::erase_if(keys.routes, [&](const HostRoute& kept) { return kept.destination == route.destination; });
    keys.routes.push_back(route);
    if (keys.routes.size() > maximumRoutes) keys.routes.erase(keys.routes.begin());
}

void removeRoute(KeyFile& keys, const HostRoute& route) {
    std::erase(keys.routes, route);
}

std::vector<Ipv4Address> allowedDestinations(const KeyFile& keys, const std::vector<std::string>& nameServers) {
    std::vector<Ipv4Address> destinations;
    for (const auto& route : keys.routes) {
        if (route.gateway != keys.gateway) continue;
        if (std::find(nameServers.begin(), nameServers.end(), route.destination.text()) != nameServers.end()) continue;
        destinations.push_back(route.destination);
    }
    return destinations;
}

}  // namespace corvantis::helper::GuardRules
