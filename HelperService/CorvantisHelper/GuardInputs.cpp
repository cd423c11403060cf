#include "HelperService/CorvantisHelper/GuardInputs.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <net/if.h>
#include <sstream>

namespace corvantis::helper::GuardInputs {

namespace FileSystem = platform::foundation::FileSystem;

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r;") - first + 1);
}

// The address in inet_ntop's form; none when `text` is no plain IPv4 or IPv6 address.
std::optional<std::string> canonicalAddress(std::string_view text) {
    const std::string given(text);
    char written[INET6_ADDRSTRLEN] = {};
    in6_addr v6{};
    if (const auto v4 = Ipv4Address::parse(given)) return v4->text();
    if (::inet_pton(AF_INET6, given.c_str(), &v6) == 1 && ::inet_ntop(AF_INET6, &v6, written, sizeof written) != nullptr) {
        return std::string(written);
    }
    return std::nullopt;
}

bool isLoopback(const std::string& server) {
    return server.starts_with("127.") || server == "::1";
}

std::string fileText(const std::filesystem::path& path) {
    auto content = FileSystem::readFile(path);
    return content ? std::move(content.value()) : std::string();
}

}  // namespace

std::vector<std::string> nameServersIn(std::string_view resolverFile) {
    std::vector<std::string> servers;
    std::istringstream lines{std::string(resolverFile)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string keyword, value;
        if (!(fields >> keyword >> value) || keyword != "nameserver") continue;
        const auto server = canonicalAddress(value);
        if (server && std::find(servers.begin(), servers.end(), *server) == servers.end()) servers.push_back(*server);
    }
    return servers;
}

std::vector<std::string> nameServers(const GuardInputPaths& paths) {
    auto servers = nameServersIn(fileText(paths.resolver));
    if (std::any_of(servers.begin(), servers.end(), isLoopback)) {
        for (auto& upstream : nameServersIn(fileText(paths.resolvedUpstream))) {
            if (std::find(servers.begin(), servers.end(), upstream) == servers.end()) servers.push_back(std::move(upstream));
        }
    }
    // Loopback leaves by "lo", which the guard lets through anyway.
    std::erase_if(servers, isLoopback);
    return servers;
}

std::optional<Ipv4Address> serverOfNetworkdLease(std::string_view lease) {
    std::istringstream lines{std::string(lease)};
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("SERVER_ADDRESS=")) return Ipv4Address::parse(trimmed(std::string_view(line).substr(15)));
    }
    return std::nullopt;
}

std::optional<Ipv4Address> serverOfDhclientLeases(std::string_view leases, std::string_view link) {
    std::optional<Ipv4Address> found;
    std::optional<Ipv4Address> server;
    bool forLink = false;
    std::istringstream lines{std::string(leases)};
    for (std::string line; std::getline(lines, line);) {
        const auto text = trimmed(line);
        if (text.starts_with("lease {")) {
            server.reset();
            forLink = false;
        } else if (text.starts_with("interface ")) {
            forLink = trimmed(text.substr(10)) == "\"" + std::string(link) + "\"";
        } else if (text.starts_with("option dhcp-server-identifier ")) {
            server = Ipv4Address::parse(trimmed(text.substr(30)));
        } else if (text == "}" && forLink && server) {
            found = server;
        }
    }
    return found;
}

std::optional<Ipv4Address> dhcpServer(const GuardInputPaths& paths, const std::string& link) {
    if (link.empty()) return std::nullopt;
    if (const unsigned index = ::if_nametoindex(link.c_str()); index != 0) {
        if (auto server = serverOfNetworkdLease(fileText(paths.networkdLeases / std::to_string(index)))) return server;
    }
    for (const auto& name : {"dhclient." + link + ".leases", std::string("dhclient.leases")}) {
        if (auto server = serverOfDhclientLeases(fileText(paths.dhclientLeases / name), link)) return server;
    }
    return std::nullopt;
}

}  // namespace corvantis::helper::GuardInputs
