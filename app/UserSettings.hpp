#pragma once

#include "app/OpenVPNPort.hpp"
#include "app/Protocol.hpp"

#include <functional>
#include <optional>
#include <string>

namespace corvantis {

// The application's settings and account values: static members only. Persistent values live
// in the user defaults ("com.corvantis.Corvantis"), one key per setting, and are read anew on
// every access; `email`, `plan` and `vpnPassword` live in memory for the run. Main queue only.
class UserSettings {
public:
    UserSettings() = delete;

    static std::optional<std::string> email();
    static void setEmail(std::optional<std::string> value);
    static std::optional<std::string> plan();
    static void setPlan(std::optional<std::string> value);
    // Setting a value also files it in the keychain under "com.corvantis.password".
    static std::optional<std::string> vpnPassword();
    static void setVpnPassword(std::optional<std::string> value);

    // Reads back as OpenVPN whatever is stored, the only protocol the application runs.
    static Protocol savedProtocol();
    static void setSavedProtocol(Protocol value);
    static OpenVPNPort savedOpenVPNPort();
    static void setSavedOpenVPNPort(OpenVPNPort value);

    // The chosen server's domain: empty before the city list exists, else the stored one, else
    // the first city's.
    static std::optional<std::string> hostname();
    static void setHostname(std::optional<std::string> value);
    // The short name of the chosen server's city (the first city's when none matches).
    static std::optional<std::string> serverName();

    // The account's credentials; empty texts when none are stored. The password is kept in the
    // keychain, not in the user defaults; one found there in the clear moves to the keychain.
    static std::optional<std::string> username();
    static void setUsername(std::optional<std::string> value);
    static std::optional<std::string> password();
    static void setPassword(std::optional<std::string> value);
    // Whether a user name is stored at all, the empty text included, and whether a password is.
    static bool isUsernameStored();
    static bool isPasswordStored();

    static bool isKillSwitchEnabled();
    // Off restores the default route; on takes it away while a tunnel is up or coming up, and
    // also while none is when the Shield is on.
    static void setIsKillSwitchEnabled(bool value);
    static bool isCorvantisShieldEnabled();
    // While no tunnel is up: on takes the default route away, off restores it.
    static void setIsCorvantisShieldEnabled(bool value);
    static bool savedCredentials();
    static void setSavedCredentials(bool value);

    static std::optional<bool> launchOnLogin();
    // Has the helper add or remove the login item; the value is stored once the helper replies.
    static void setLaunchOnLogin(std::optional<bool> value);

    // The resolver's name servers as the helper reads them, one per line.
    static void getDefaultGateway(std::function<void(const std::string&)> result);

    static void setDeviceId(const std::string& id);
    // The backend's id of this computer: the stored one once the backend has confirmed it, or a
    // newly registered one. `result(success, message, deviceId)` runs once, on the main queue.
    static void getDeviceId(std::function<void(bool, const std::string&, const std::string&)> result);
};

}  // namespace corvantis
