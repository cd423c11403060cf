#include "HelperService/CorvantisHelper/GuardRules.hpp"

#include <algorithm>
#include <sstream>

namespace corvantis::helper::GuardRules {

namespace {

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
        for (const auto& endpoint : state.endpoints) {
            out << "    ip daddr " << endpoint.address.text() << " " << endpoint.protocol << " dport " << endpoint.port
                << " accept\n";
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
    }
    if (!gateway) return std::nullopt;
    keys.gateway = *gateway;
    return keys;
}

std::string keyFileText(const KeyFile& keys) {
    return "gateway=" + keys.gateway.text() + "\nengaged=" + (keys.engaged ? "1" : "0") + "\n";
}

}  // namespace corvantis::helper::GuardRules
