#pragma once

#include "HelperService/CorvantisHelperInterface/IKEv2TunnelSettings.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// The helper's job label, service name and executable name.
inline constexpr std::string_view kHelperToolName = "com.corvantis.CorvantisHelper";

// Reply blocks. An empty function is a call sent without a reply block. A text reply without a
// value is "no text" (output that was not valid UTF-8); an array reply without a value is "no array".
using TextReply = std::function<void(std::optional<std::string>)>;
using TextArrayReply = std::function<void(std::optional<std::vector<std::string>>)>;
using CodeReply = std::function<void(int)>;

// The interface the helper exports and the application calls, in protocol order. Texts that
// the application may send as absent are optional.
class CorvantisHelperProtocol {
public:
    virtual ~CorvantisHelperProtocol() = default;

    virtual void runCommand(const std::string& command, TextReply reply) = 0;
    virtual void runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                            const std::optional<std::string>& password, const std::string& workingDirectory,
                            TextArrayReply reply) = 0;
    virtual void connectToL2TPServerWithAddress(const std::optional<std::string>& address,
                                                const std::optional<std::string>& username,
                                                const std::optional<std::string>& password,
                                                const std::optional<std::string>& sharedSecret, CodeReply reply) = 0;
    // Declared with a result that a remote call can never carry back to the caller.
    virtual bool connect() = 0;
    virtual void disconnect() = 0;
    virtual void toggleIpv6(bool enable, TextReply reply) = 0;
    virtual void backupResolvConf() = 0;
    virtual void restoreResolvConf() = 0;
    // Brings an IKEv2 tunnel up with the settings and the account's password; the reply is an
    // `IKEv2TunnelResult`, once the tunnel is up or has failed.
    virtual void connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, CodeReply reply) = 0;
    // Ends the IKEv2 tunnel, if there is one.
    virtual void disconnectIKEv2() = 0;
};

// What the helper answers an IKEv2 start with.
enum class IKEv2TunnelResult : int {
    connected = 0,
    // No IKEv2 implementation on this machine (strongSwan is not installed).
    unavailable = 1,
    // Settings the helper cannot turn into a tunnel (an authentication it does not offer).
    refused = 2,
    // The tunnel did not come up: no answer, a refused login, a failed charon.
    failed = 3,
};

}  // namespace corvantis::helper
