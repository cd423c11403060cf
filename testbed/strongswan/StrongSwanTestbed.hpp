#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testbed {

// An IKEv2 responder (strongSwan's charon, user-space ESP) in a network namespace of its own,
// joined by a veth pair to a client namespace, with a fresh CA, a server certificate for the
// host name and an EAP-MSCHAPv2 account, made by the script beside this class
// (strongswan-testbed). The host name resolves to the server inside the sandbox's own mount
// namespace. Only for places that are namespaces themselves (scripts/sandbox): it adds network
// namespaces and links, and takes them away again when the object goes.
class StrongSwanTestbed {
public:
    struct Options {
        std::string user = "corvantis-test";
        // No double quotes or backslashes: the responder's configuration cannot hold them.
        std::string password = "ikev2-pass-2026";
        std::string hostname = "vpn.corvantis.test";
    };

    // Why the testbed cannot run here (not root, not in the sandbox, no tun device, strongSwan
    // missing); nothing when it can.
    static std::optional<std::string> unavailableBecause();

    // Brings the responder up with its files in `folder`, which must exist and stay while it runs.
    static platform::foundation::Expected<std::unique_ptr<StrongSwanTestbed>> up(const std::filesystem::path& folder,
                                                                                 const Options& options);
    static platform::foundation::Expected<std::unique_ptr<StrongSwanTestbed>> up(const std::filesystem::path& folder) {
        return up(folder, Options{});
    }
    ~StrongSwanTestbed();
    StrongSwanTestbed(const StrongSwanTestbed&) = delete;
    StrongSwanTestbed& operator=(const StrongSwanTestbed&) = delete;

    // Starts a charon of the testbed's own in the client namespace (user-space ESP, its own
    // strongswan.conf) and returns its VICI socket. It goes with the object.
    platform::foundation::Expected<std::filesystem::path> startClientCharon();

    const Options& options() const { return options_; }
    // The test CA's certificate (PEM), which the client must trust.
    std::filesystem::path caCertificate() const { return folder_ / "pki" / "ca.crt"; }
    std::filesystem::path serverVici() const { return folder_ / "server" / "charon.vici"; }
    // The server's address on the link between the namespaces.
    static constexpr const char* serverAddress = "198.51.100.1";
    // An address of the server's that the client reaches only through the tunnel.
    static constexpr const char* insideAddress = "10.77.1.1";
    // The virtual addresses the responder hands out.
    static constexpr const char* addressPool = "10.77.0.0/24";
    static constexpr const char* clientNamespace = "corvantis-ike-client";
    // Runs `command` in the client namespace (a prefix of "ip netns exec <namespace>").
    std::vector<std::string> inClientNamespace(std::vector<std::string> command = {}) const;
    // What the responder and the client charon logged so far.
    std::string serverLog() const;
    std::string clientLog() const;

private:
    StrongSwanTestbed(std::filesystem::path folder, Options options) : folder_(std::move(folder)), options_(std::move(options)) {}

    std::filesystem::path folder_;
    Options options_;
};

}  // namespace corvantis::testbed
