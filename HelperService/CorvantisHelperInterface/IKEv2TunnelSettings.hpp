#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/network/VPNProtocolIKEv2.hpp"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace corvantis::helper {

// The settings of an IKEv2 tunnel as the application hands them to the helper: the VPN
// manager's configuration with the password reference left out (the password travels beside
// it, only in memory). Every field is checked where it is made and again where the helper
// reads it, so root only ever sees values of the allowed forms.
struct IKEv2TunnelSettings {
    // A DNS host name or a dotted IPv4 address.
    std::string serverAddress;
    // Same forms as the server address.
    std::optional<std::string> remoteIdentifier;
    // Printable ASCII without blanks, 1 to 255 bytes.
    std::optional<std::string> localIdentifier;
    std::optional<std::string> username;
    platform::network::IKEv2AuthenticationMethod authenticationMethod = platform::network::IKEv2AuthenticationMethod::none;
    platform::network::IKEv2DeadPeerDetectionRate deadPeerDetectionRate = platform::network::IKEv2DeadPeerDetectionRate::medium;
    bool useExtendedAuthentication = false;
    bool disconnectOnSleep = false;

    // The settings of a VPN manager configuration; an error naming the field (never its value)
    // when one is absent where it must be given or has a form not allowed.
    static platform::foundation::Expected<IKEv2TunnelSettings> from(const platform::network::VPNProtocolIKEv2& configuration);
    platform::foundation::Expected<void> validate() const;

    // The wire form: an object with one member per field (absent texts as null).
    nlohmann::json toJson() const;
    static platform::foundation::Expected<IKEv2TunnelSettings> fromJson(const nlohmann::json& json);

    // The password's own rule: 1 to 255 bytes without NUL (EAP-MSCHAPv2's limit).
    static platform::foundation::Expected<void> validatePassword(const std::string& password);

    friend bool operator==(const IKEv2TunnelSettings&, const IKEv2TunnelSettings&) = default;
};

}  // namespace corvantis::helper
