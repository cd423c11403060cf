#pragma once

#include "platform/foundation/DomainError.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvantis::helper {
struct IKEv2TunnelSettings;
}

namespace platform::security {
class Authorization;
}

namespace corvantis {

// The application's only way to the privileged helper. It installs or updates the helper, and
// wraps every call of the helper protocol in a fresh connection: a call with a reply hands the
// helper's first reply to the caller once, on the main queue, and closes its connection; a call
// whose connection ends without a reply logs "No response from helper tool!" and calls nobody,
// except an OpenVPN start, which then failed. Calls may be made from any thread.
class CorvantisHelperController {
public:
    using TextReply = std::function<void(std::optional<std::string>)>;

    // Installs the helper when none is installed, replaces an installed helper whose version
    // differs from the bundle's copy in one authorized step, and leaves one of the same version
    // alone, unless it does not serve this user yet: then the user is added to its users. Each
    // road asks for the password at most once. False with `error` set (code 10: removing
    // failed, 11: installing failed) when that did not work.
    bool installPrivilegedHelperTool(platform::foundation::DomainError* error);

    // `reply` gets the helper's first code: -1 when connected.
    void connectToL2TPServerWithAddress(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& sharedSecret, std::function<void(int)> reply);
    // `reply` gets true when the helper's first reply says "connected", after the application
    // delegate's tunnel gateway has been set to the one the reply names (none when it names none);
    // false when it says otherwise or the helper gives no usable reply.
    void runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                    const std::optional<std::string>& password, const std::string& workingDirectory,
                    std::function<void(bool)> reply);
    // `reply` gets the helper's `IKEv2TunnelResult` code once the tunnel is up or has failed.
    // The password goes only into the call's message.
    void connectToIKEv2Server(const helper::IKEv2TunnelSettings& settings, const std::string& password,
                              std::function<void(int)> reply);
    void disconnectIKEv2();
    // `reply` gets the command's first output (no text when it was not UTF-8); without a reply
    // the command is sent on its own.
    void runCommand(const std::string& command, TextReply reply);
    // The helper never answers this one; without a reply it is sent on its own.
    void toggleIpv6(bool enable, TextReply reply);

    bool removeHelperWithLabel(std::string_view label, platform::foundation::DomainError* error);
    bool blessHelperWithLabel(std::string_view label, platform::foundation::DomainError* error);
    // Removes the installed helper and installs the bundle's copy, in one authorized step.
    bool replaceHelperWithLabel(std::string_view label, platform::foundation::DomainError* removeError,
                                platform::foundation::DomainError* blessError);
    // Has the installed helper serve this user too.
    bool allowHelperUserWithLabel(std::string_view label, platform::foundation::DomainError* error);

    // Calls without a reply: each is written to the helper before the call returns, so the
    // application may quit right after.
    void checkResolvConf();
    void backupResolvConf();
    // Ends every tunnel the helper runs, and 3 s later has it put back a resolver file that the
    // ended tunnel may have taken away.
    void terminateAllVpnConnections();

private:
    // Obtains the right to change the system's jobs; false with `error` set when it cannot be had.
    bool obtainRight(platform::foundation::DomainError* error);

    std::shared_ptr<platform::security::Authorization> authRef_;
};

}  // namespace corvantis
