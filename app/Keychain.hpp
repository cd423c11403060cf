#pragma once

#include <optional>
#include <string>

namespace corvantis {

// Files a VPN's password and pre-shared secret in the user's keychain under the service
// "Corvantis", keyed by the last path component of the VPN identifier.
class Keychain {
public:
    Keychain() = delete;

    // Replaces the stored password; an empty password only removes it (and succeeds).
    static bool setPassword(const std::string& password, const std::string& vpnId);
    static bool setSecret(const std::string& secret, const std::string& vpnId);
    // The persistent reference of the password item (what the system VPN manager takes), not the password.
    static std::optional<std::string> passwordForVPNID(const std::string& vpnId);
    static std::optional<std::string> secretForVPNID(const std::string& vpnId);
    static std::optional<std::string> passwordStringForVPNID(const std::string& vpnId);
    static std::optional<std::string> secretStringForVPNID(const std::string& vpnId);
    // Removes the password, secret and certificate items.
    static void destoryKeyForVPNID(const std::string& vpnId);

    // The item key of a VPN identifier; none for an identifier that is no URL reference.
    static std::optional<std::string> keyForVPNID(const std::string& vpnId);
};

}  // namespace corvantis
