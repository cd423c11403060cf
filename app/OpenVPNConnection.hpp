#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace corvantis {

// Prepares and starts one OpenVPN tunnel: chooses transport and port, builds the client profile
// from the backend's configuration (or the built-in fallback), writes it into a private folder
// of the user's own and asks the privileged helper to run the bundle's openvpn with it. Logs to
// the system console. Main queue only; a fresh object per connection attempt.
class OpenVPNConnection {
public:
    // Has root ready the bundle's openvpn program and tunnel driver; the replies are not used.
    // Returns 0.
    int initialize();

    // `reply` gets true once the helper reports the tunnel connected, false when it reports it
    // ended, gives no usable reply or the tunnel could not be started at all, and when the profile
    // is refused before it is written (a server address or port not of its kind, a configuration
    // the helper's profile reader refuses).
    void connectUsingServerAddress(const std::optional<std::string>& serverAddress, const std::optional<std::string>& username,
                                   const std::optional<std::string>& password, std::function<void(bool)> reply);

    // Writes `config` as the profile (mode 0600) and has the helper run openvpn with it;
    // `reply` gets the helper client's answer unchanged. When the profile cannot be written or
    // there is no helper, nothing is started and `reply` gets false, on the main queue.
    void saveConfigAndStart(const std::string& config, const std::optional<std::string>& username,
                            const std::optional<std::string>& password, std::function<void(bool)> reply);

    // Where the profile is written: "config.ovpn" in the folder "OpenVPN" (0700) of the user's
    // private temporary folder.
    static std::optional<std::filesystem::path> configurationPath();
};

}  // namespace corvantis
