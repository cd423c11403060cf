#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "platform/security/KeychainStep.hpp"
#include "platform/security/TrustedApplication.hpp"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::helper {

// Writes the L2TP service's secrets as generic-password items into the system keychain, with
// an access object that lets the system's VPN components read them without asking.
class VPNKeychain {
public:
    // The programs that may read the items, in this order.
    static constexpr std::array<const char*, 6> trustedAppPaths{
        "/System/Library/Frameworks/SystemConfiguration.framework/Versions/A/Helpers/SCHelper",
        "/System/Library/PreferencePanes/Network.prefPane/Contents/XPCServices/"
        "com.apple.preference.network.remoteservice.xpc",
        "/System/Library/CoreServices/SystemUIServer.app",
        "/usr/sbin/pppd",
        "/usr/sbin/racoon",
        "/usr/libexec/configd",
    };

    // `systemRoot` is where the trusted programs are looked for ("/" but in tests).
    VPNKeychain(std::filesystem::path systemKeychain, std::shared_ptr<HelperLog> log,
                std::shared_ptr<platform::security::KeychainFaults> faults = nullptr, std::filesystem::path systemRoot = "/");

    // Return codes: 0 created, 60 no system keychain, 61 not unlocked, 62 no access object,
    // 63 the item was not created.
    int createPasswordKeyChainItem(const std::string& label, const std::string& service, const std::string& account,
                                   const std::string& password) const;
    int createSharedSecretKeyChainItem(const std::string& label, const std::string& service, const std::string& password) const;
    // The IPsec XAuth password of `service` (as "<service>.XAUTH"); the L2TP service uses none yet.
    int createXAuthKeyChainItem(const std::string& label, const std::string& service, const std::string& password) const;
    int createItem(const std::string& label, const std::string& service, const std::string& account,
                   const std::string& description, const std::string& password) const;
    // A reference for each of the trusted programs that is installed.
    std::vector<platform::security::TrustedApplication> trustedApps() const;

private:
    const std::filesystem::path systemKeychain_;
    const std::shared_ptr<HelperLog> log_;
    const std::shared_ptr<platform::security::KeychainFaults> faults_;
    const std::filesystem::path systemRoot_;
};

}  // namespace corvantis::helper
