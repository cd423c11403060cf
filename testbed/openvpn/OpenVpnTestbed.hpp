#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testbed {

// An OpenVPN server in a network namespace of its own, joined by a veth pair to a client
// namespace, with a fresh test PKI and an account that the server checks, made by the script
// beside this class (openvpn-testbed). Only for places that are namespaces themselves
// (scripts/sandbox): it adds network namespaces and links, and takes them away again when the
// object goes.
class OpenVpnTestbed {
public:
    struct Options {
        std::string proto = "udp";
        std::string user = "corvantis-test";
        std::string password = "tunnel-pass-2026";
    };

    // Why the testbed cannot run on this machine (not root, no tun device, a tool missing);
    // nothing when it can.
    static std::optional<std::string> unavailableBecause();

    // Brings the server up with its files in `folder`, which must exist and stay while it runs.
    static platform::foundation::Expected<std::unique_ptr<OpenVpnTestbed>> up(const std::filesystem::path& folder,
                                                                              const Options& options);
    static platform::foundation::Expected<std::unique_ptr<OpenVpnTestbed>> up(const std::filesystem::path& folder) {
        return up(folder, Options{});
    }
    ~OpenVpnTestbed();
    OpenVpnTestbed(const OpenVpnTestbed&) = delete;
    OpenVpnTestbed& operator=(const OpenVpnTestbed&) = delete;

    const Options& options() const { return options_; }
    // The client's bundle resources: up.sh, down.sh and the kill-switch guard's two files.
    std::filesystem::path bundle() const { return folder_ / "bundle" / "Resources"; }
    // The client profile built as the application builds it, in a private folder.
    std::filesystem::path profile() const { return folder_ / "profile" / "config.ovpn"; }
    // The client profile with the placeholders "[proto]", "[hostname]" and "[port]", as the
    // backend serves it (before Base64).
    std::filesystem::path profileTemplate() const { return folder_ / "profile-template.ovpn"; }
    // The server's address on the link between the namespaces.
    static constexpr const char* serverAddress = "198.51.100.1";
    // The address the server gives as the tunnel's gateway.
    static constexpr const char* tunnelGateway = "203.0.113.1";
    // The name server the server pushes: its own end of the tunnel.
    static constexpr const char* tunnelNameServer = "203.0.113.1";
    // Runs `command` in the client namespace (a prefix of "ip netns exec <namespace>").
    std::vector<std::string> inClientNamespace(std::vector<std::string> command = {}) const;
    // The client namespace's IPv4 routes, as "ip route" lists them.
    std::string clientRoutes() const;
    // What the server logged so far.
    std::string serverLog() const;
    // Ends the server process at once (SIGKILL); the namespaces stay until the object goes.
    void killServer() const;

private:
    OpenVpnTestbed(std::filesystem::path folder, Options options) : folder_(std::move(folder)), options_(std::move(options)) {}

    std::filesystem::path folder_;
    Options options_;
};

}  // namespace corvantis::testbed
