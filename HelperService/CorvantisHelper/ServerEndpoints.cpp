#include "HelperService/CorvantisHelper/ServerEndpoints.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>

namespace corvantis::helper::ServerEndpoints {

namespace {

constexpr std::uint16_t defaultPort = 1194;

// "udp", "udp4", "tcp-client", "tcp6-client", …: the family of the transport alone.
std::string protocolOf(const std::string& transport) {
    return transport.starts_with("tcp") ? "tcp" : "udp";
}

std::optional<std::uint16_t> portOf(std::string_view text) {
    unsigned value = 0;
    const auto [rest, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || rest != text.data() + text.size() || value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

void addOnce(std::vector<ServerEndpoint>& endpoints, ServerEndpoint endpoint) {
    if (std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end()) endpoints.push_back(std::move(endpoint));
}

}  // namespace

std::vector<ServerEndpoint> ofProfile(const OpenVpnProfile& profile) {
    std::string transport = "udp";
    for (const auto& directive : profile.directives) {
        if (directive.name == "proto" && !directive.arguments.empty()) transport = directive.arguments[0];
    }
    std::vector<ServerEndpoint> endpoints;
    for (const auto& directive : profile.directives) {
        if (directive.name != "remote" || directive.arguments.empty()) continue;
        const auto address = Ipv4Address::parse(directive.arguments[0]);
        if (!address) continue;
        const auto port = directive.arguments.size() > 1 ? portOf(directive.arguments[1]) : defaultPort;
        if (!port) continue;
        addOnce(endpoints, {*address, protocolOf(directive.arguments.size() > 2 ? directive.arguments[2] : transport), *port});
    }
    return endpoints;
}

std::string fileText(const std::vector<ServerEndpoint>& endpoints) {
    std::string text;
    for (const auto& endpoint : endpoints) {
        text += "endpoint=" + endpoint.address.text() + " " + endpoint.protocol + " " + std::to_string(endpoint.port) + "\n";
    }
    return text;
}

std::vector<ServerEndpoint> read(std::string_view content) {
    std::vector<ServerEndpoint> endpoints;
    std::istringstream lines{std::string(content)};
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("endpoint=")) continue;
        std::istringstream fields(line.substr(9));
        std::string address, protocol, port, rest;
        if (!(fields >> address >> protocol >> port) || (fields >> rest)) continue;
        const auto parsed = Ipv4Address::parse(address);
        const auto number = portOf(port);
        if (!parsed || !number || (protocol != "udp" && protocol != "tcp")) continue;
        addOnce(endpoints, {*parsed, protocol, *number});
    }
    return endpoints;
}

}  // namespace corvantis::helper::ServerEndpoints
