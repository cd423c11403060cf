#pragma once

#include <optional>
#include <string>

namespace platform::network {

// How an IKEv2 peer authenticates, with the platform's raw values.
enum class IKEv2AuthenticationMethod : int { none = 0, certificate = 1, sharedSecret = 2 };

// How often an IKEv2 tunnel checks that its peer is alive, with the platform's raw values.
enum class IKEv2DeadPeerDetectionRate : int { none = 0, low = 1, medium = 2, high = 3 };

// The settings of one IKEv2 tunnel as the system VPN manager keeps them. Plain values; the
// manager copies them when its configuration is saved.
struct VPNProtocolIKEv2 {
    std::optional<std::string> remoteIdentifier;
    std::optional<std::string> localIdentifier;
    IKEv2AuthenticationMethod authenticationMethod = IKEv2AuthenticationMethod::none;
    IKEv2DeadPeerDetectionRate deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::medium;
    // The keychain's persistent reference to the password item.
    std::optional<std::string> passwordReference;
    std::optional<std::string> serverAddress;
    std::optional<std::string> username;
    bool useExtendedAuthentication = false;
    bool disconnectOnSleep = false;

    friend bool operator==(const VPNProtocolIKEv2&, const VPNProtocolIKEv2&) = default;
};

}  // namespace platform::network
