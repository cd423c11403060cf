#pragma once

#include "platform/foundation/Expected.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::testbed {

// The real helper in the testbed's client namespace, asked for the tunnel the way the
// application asks for it: runOpenVPN with the bundle's openvpn path, profile, the account and
// the bundle as working directory, then disconnect.
class HelperTunnel {
public:
    // `openvpn` is the program the helper is configured to run.
    HelperTunnel(const OpenVpnTestbed& testbed, const std::filesystem::path& helperProgram, const std::filesystem::path& folder,
                 const std::filesystem::path& openvpn = "/usr/sbin/openvpn");

    // The helper's first reply to runOpenVPN.
    platform::foundation::Expected<std::vector<std::string>> connect(const std::string& password) const;
    // Sends disconnect and waits, at most `limit`, until the helper's openvpn run is over.
    bool disconnect(std::chrono::milliseconds limit) const;

private:
    const OpenVpnTestbed& testbed_;
    std::filesystem::path socket_;
    std::filesystem::path runtime_;
    std::unique_ptr<HelperDaemon> daemon_;
};

}  // namespace corvantis::testbed
