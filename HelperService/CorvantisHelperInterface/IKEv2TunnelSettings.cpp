#include "HelperService/CorvantisHelperInterface/IKEv2TunnelSettings.hpp"

#include "HelperService/CorvantisHelperInterface/ServerAddress.hpp"

#include <algorithm>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::network::IKEv2AuthenticationMethod;
using platform::network::IKEv2DeadPeerDetectionRate;

namespace {

constexpr std::size_t longestIdentity = 255;

Error invalid(const std::string& what) {
    return Error{EINVAL, "The IKEv2 settings' " + what};
}

bool isIdentity(const std::string& text) {
    return !text.empty() && text.size() <= longestIdentity &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

nlohmann::json optionalJson(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

Expected<std::optional<std::string>> optionalText(const nlohmann::json& json, const char* key) {
    const auto found = json.find(key);
    if (found == json.end() || found->is_null()) return std::optional<std::string>();
    if (!found->is_string()) return invalid(std::string(key) + " is not a text");
    return std::optional<std::string>(found->get<std::string>());
}

template <class Enum>
Expected<Enum> rawEnum(const nlohmann::json& json, const char* key, int highest) {
    const auto found = json.find(key);
    if (found == json.end() || !found->is_number_integer()) return invalid(std::string(key) + " is not a number");
    const auto raw = found->get<long long>();
    if (raw < 0 || raw > highest) return invalid(std::string(key) + " is out of range");
    return static_cast<Enum>(raw);
}

Expected<bool> flag(const nlohmann::json& json, const char* key) {
    const auto found = json.find(key);
    if (found == json.end() || !found->is_boolean()) return invalid(std::string(key) + " is not a Boolean");
    return found->get<bool>();
}

}  // namespace

Expected<IKEv2TunnelSettings> IKEv2TunnelSettings::from(const platform::network::VPNProtocolIKEv2& configuration) {
    IKEv2TunnelSettings settings;
    if (!configuration.serverAddress) return invalid("server address is missing");
    settings.serverAddress = *configuration.serverAddress;
    settings.remoteIdentifier = configuration.remoteIdentifier;
    settings.localIdentifier = configuration.localIdentifier;
    settings.username = configuration.username;
    settings.authenticationMethod = configuration.authenticationMethod;
    settings.deadPeerDetectionRate = configuration.deadPeerDetectionRate;
    settings.useExtendedAuthentication = configuration.useExtendedAuthentication;
    settings.disconnectOnSleep = configuration.disconnectOnSleep;
    if (auto valid = settings.validate(); !valid) return valid.error();
    return settings;
}

Expected<void> IKEv2TunnelSettings::validate() const {
    if (!ServerAddress::isValid(serverAddress)) return invalid("server address is not a host name or IPv4 address");
    if (remoteIdentifier && !ServerAddress::isValid(*remoteIdentifier))
        return invalid("remote identifier is not a host name or IPv4 address");
    if (localIdentifier && !isIdentity(*localIdentifier))
        return invalid("local identifier has characters or a length not allowed");
    if (username && !isIdentity(*username)) return invalid("user name has characters or a length not allowed");
    if (static_cast<int>(authenticationMethod) < 0 || static_cast<int>(authenticationMethod) > 2)
        return invalid("authentication method is out of range");
    if (static_cast<int>(deadPeerDetectionRate) < 0 || static_cast<int>(deadPeerDetectionRate) > 3)
        return invalid("dead-peer detection rate is out of range");
    return {};
}

Expected<void> IKEv2TunnelSettings::validatePassword(const std::string& password) {
    if (password.empty() || password.size() > 255 || password.find('\0') != std::string::npos) {
        return Error{EINVAL, "The IKEv2 password must have 1 to 255 bytes and no NUL"};
    }
    return {};
}

nlohmann::json IKEv2TunnelSettings::toJson() const {
    return nlohmann::json{{"serverAddress", serverAddress},
                          {"remoteIdentifier", optionalJson(remoteIdentifier)},
                          {"localIdentifier", optionalJson(localIdentifier)},
                          {"username", optionalJson(username)},
                          {"authenticationMethod", static_cast<int>(authenticationMethod)},
                          {"deadPeerDetectionRate", static_cast<int>(deadPeerDetectionRate)},
                          {"useExtendedAuthentication", useExtendedAuthentication},
                          {"disconnectOnSleep", disconnectOnSleep}};
}

Expected<IKEv2TunnelSettings> IKEv2TunnelSettings::fromJson(const nlohmann::json& json) {
    if (!json.is_object()) return invalid("are not an object");
    IKEv2TunnelSettings settings;
    const auto server = json.find("serverAddress");
    if (server == json.end() || !server->is_string()) return invalid("server address is not a text");
    settings.serverAddress = server->get<std::string>();
    auto remote = optionalText(json, "remoteIdentifier");
    auto local = optionalText(json, "localIdentifier");
    auto user = optionalText(json, "username");
    auto method = rawEnum<IKEv2AuthenticationMethod>(json, "authenticationMethod", 2);
    auto rate = rawEnum<IKEv2DeadPeerDetectionRate>(json, "deadPeerDetectionRate", 3);
    auto extended = flag(json, "useExtendedAuthentication");
    auto sleep = flag(json, "disconnectOnSleep");
    if (!remote) return remote.error();
    if (!local) return local.error();
    if (!user) return user.error();
    if (!method) return method.error();
    if (!rate) return rate.error();
    if (!extended) return extended.error();
    if (!sleep) return sleep.error();
    settings.remoteIdentifier = std::move(remote.value());
    settings.localIdentifier = std::move(local.value());
    settings.username = std::move(user.value());
    settings.authenticationMethod = method.value();
    settings.deadPeerDetectionRate = rate.value();
    settings.useExtendedAuthentication = extended.value();
    settings.disconnectOnSleep = sleep.value();
    if (auto valid = settings.validate(); !valid) return valid.error();
    return settings;
}

}  // namespace corvantis::helper
