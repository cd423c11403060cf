#pragma once

#include "HelperService/CorvantisHelperInterface/IKEv2TunnelSettings.hpp"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace corvantis::helper {

// The methods of the helper protocol, in protocol order.
enum class HelperSelector : int {
    runCommand,
    runOpenVPN,
    connectToL2TPServer,
    connect,
    disconnect,
    toggleIpv6,
    backupResolvConf,
    restoreResolvConf,
    connectToIKEv2Server,
    disconnectIKEv2,
};

// The selector text that names the method on the wire, e.g. "runCommand:withReply:".
std::string_view rawValue(HelperSelector selector);
std::optional<HelperSelector> HelperSelectorFromRaw(std::string_view raw);

// What a method's reply block takes.
enum class ReplyKind { none, text, textArray, code };
ReplyKind replyKind(HelperSelector selector);

// One call of a protocol method: its positional arguments as JSON values (texts, absent texts
// as null, a Boolean) and whether a reply block came with it.
struct HelperCall {
    HelperSelector selector = HelperSelector::connect;
    nlohmann::json arguments = nlohmann::json::array();
    bool withReply = false;

    static HelperCall runCommand(const std::string& command, bool withReply);
    static HelperCall runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                                 const std::optional<std::string>& password, const std::string& workingDirectory, bool withReply);
    static HelperCall connectToL2TPServer(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                          const std::optional<std::string>& password,
                                          const std::optional<std::string>& sharedSecret, bool withReply);
    static HelperCall connect();
    static HelperCall disconnect();
    static HelperCall toggleIpv6(bool enable, bool withReply);
    static HelperCall backupResolvConf();
    static HelperCall restoreResolvConf();
    static HelperCall connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, bool withReply);
    static HelperCall disconnectIKEv2();

    // Typed access to the arguments of a call that `HelperWireCodec::decodeCall` has checked.
    const std::string& text(std::size_t index) const;
    std::optional<std::string> optionalText(std::size_t index) const;
    bool boolean(std::size_t index) const;
};

}  // namespace corvantis::helper
