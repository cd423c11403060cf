#include "HelperService/CorvantisHelperInterface/HelperCall.hpp"

#include <array>

namespace corvantis::helper {

namespace {

struct SelectorName {
    HelperSelector selector;
    std::string_view raw;
    ReplyKind reply;
};

constexpr std::array<SelectorName, 10> selectorNames{{
    {HelperSelector::runCommand, "runCommand:withReply:", ReplyKind::text},
    {HelperSelector::runOpenVPN, "runOpenVPN:usingConfig:userName:andPassword:workingDirectory:withReply:", ReplyKind::textArray},
    {HelperSelector::connectToL2TPServer,
     "connectToL2TPServerWithAddress:forUsername:andPassword:usingSharedSecret:withReply:", ReplyKind::code},
    {HelperSelector::connect, "connect", ReplyKind::none},
    {HelperSelector::disconnect, "disconnect", ReplyKind::none},
    {HelperSelector::toggleIpv6, "toggleIpv6:withReply:", ReplyKind::text},
    {HelperSelector::backupResolvConf, "backupResolvConf", ReplyKind::none},
    {HelperSelector::restoreResolvConf, "restoreResolvConf", ReplyKind::none},
    {HelperSelector::connectToIKEv2Server, "connectToIKEv2ServerWithSettings:andPassword:withReply:", ReplyKind::code},
    {HelperSelector::disconnectIKEv2, "disconnectIKEv2", ReplyKind::none},
}};

const SelectorName& nameOf(HelperSelector selector) {
    return selectorNames[static_cast<std::size_t>(selector)];
}

nlohmann::json optionalJson(const std::optional<std::string>& text) {
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

HelperCall makeCall(HelperSelector selector, nlohmann::json arguments, bool withReply) {
    return HelperCall{selector, std::move(arguments), withReply && replyKind(selector) != ReplyKind::none};
}

}  // namespace

std::string_view rawValue(HelperSelector selector) {
    return nameOf(selector).raw;
}

std::optional<HelperSelector> HelperSelectorFromRaw(std::string_view raw) {
    for (const auto& name : selectorNames) {
        if (name.raw == raw) return name.selector;
    }
    return std::nullopt;
}

ReplyKind replyKind(HelperSelector selector) {
    return nameOf(selector).reply;
}

HelperCall HelperCall::runCommand(const std::string& command, bool withReply) {
    return makeCall(HelperSelector::runCommand, nlohmann::json::array({command}), withReply);
}

HelperCall HelperCall::runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                                  const std::optional<std::string>& password, const std::string& workingDirectory,
                                  bool withReply) {
    return makeCall(HelperSelector::runOpenVPN,
                    nlohmann::json::array({path, config, optionalJson(userName), optionalJson(password), workingDirectory}),
                    withReply);
}

HelperCall HelperCall::connectToL2TPServer(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                           const std::optional<std::string>& password,
                                           const std::optional<std::string>& sharedSecret, bool withReply) {
    return makeCall(HelperSelector::connectToL2TPServer,
                    nlohmann::json::array(
                        {optionalJson(address), optionalJson(username), optionalJson(password), optionalJson(sharedSecret)}),
                    withReply);
}

HelperCall HelperCall::connect() {
    return makeCall(HelperSelector::connect, nlohmann::json::array(), false);
}

HelperCall HelperCall::disconnect() {
    return makeCall(HelperSelector::disconnect, nlohmann::json::array(), false);
}

HelperCall HelperCall::toggleIpv6(bool enable, bool withReply) {
    return makeCall(HelperSelector::toggleIpv6, nlohmann::json::array({enable}), withReply);
}

HelperCall HelperCall::backupResolvConf() {
    return makeCall(HelperSelector::backupResolvConf, nlohmann::json::array(), false);
}

HelperCall HelperCall::restoreResolvConf() {
    return makeCall(HelperSelector::restoreResolvConf, nlohmann::json::array(), false);
}

HelperCall HelperCall::connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, bool withReply) {
    return makeCall(HelperSelector::connectToIKEv2Server, nlohmann::json::array({settings.toJson(), password}), withReply);
}

HelperCall HelperCall::disconnectIKEv2() {
    return makeCall(HelperSelector::disconnectIKEv2, nlohmann::json::array(), false);
}

const std::string& HelperCall::text(std::size_t index) const {
    return arguments.at(index).get_ref<const std::string&>();
}

std::optional<std::string> HelperCall::optionalText(std::size_t index) const {
    const auto& value = arguments.at(index);
    if (value.is_null()) return std::nullopt;
    return value.get<std::string>();
}

bool HelperCall::boolean(std::size_t index) const {
    return arguments.at(index).get<bool>();
}

}  // namespace corvantis::helper
