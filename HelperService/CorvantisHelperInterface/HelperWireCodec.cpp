#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"

#include "platform/foundation/Utf8.hpp"

#include <cstdint>
#include <limits>
#include <vector>

namespace corvantis::helper::HelperWireCodec {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

enum class ArgumentKind { text, optionalText, boolean, ikev2Settings, ikev2Password };

std::vector<ArgumentKind> argumentKinds(HelperSelector selector) {
    using enum ArgumentKind;
    switch (selector) {
        case HelperSelector::runCommand: return {text};
        case HelperSelector::runOpenVPN: return {text, text, optionalText, optionalText, text};
        case HelperSelector::connectToL2TPServer: return {optionalText, optionalText, optionalText, optionalText};
        case HelperSelector::toggleIpv6: return {boolean};
        case HelperSelector::connectToIKEv2Server: return {ikev2Settings, ikev2Password};
        case HelperSelector::disconnectIKEv2:
        case HelperSelector::connect:
        case HelperSelector::disconnect:
        case HelperSelector::backupResolvConf:
        case HelperSelector::restoreResolvConf: return {};
    }
    return {};
}

bool hasKind(const nlohmann::json& value, ArgumentKind kind) {
    switch (kind) {
        case ArgumentKind::text: return value.is_string();
        case ArgumentKind::optionalText: return value.is_string() || value.is_null();
        case ArgumentKind::boolean: return value.is_boolean();
        // Settings and password are checked in full here, so that root never works with others.
        case ArgumentKind::ikev2Settings: return IKEv2TunnelSettings::fromJson(value).hasValue();
        case ArgumentKind::ikev2Password:
            return value.is_string() && IKEv2TunnelSettings::validatePassword(value.get_ref<const std::string&>());
    }
    return false;
}

Error malformed(const std::string& what) {
    return Error{EBADMSG, "Malformed helper call: " + what};
}

Expected<const nlohmann::json*> replyValue(const nlohmann::json& reply) {
    if (!reply.is_object() || !reply.contains("reply")) return Error{EBADMSG, "Malformed helper reply"};
    return &reply.at("reply");
}

nlohmann::json reply(nlohmann::json value) {
    return nlohmann::json{{"reply", std::move(value)}};
}

}  // namespace

nlohmann::json encodeCall(const HelperCall& call) {
    return nlohmann::json{{"selector", rawValue(call.selector)}, {"arguments", call.arguments}, {"reply", call.withReply}};
}

Expected<HelperCall> decodeCall(const nlohmann::json& message) {
    if (!message.is_object()) return malformed("not an object");
    const auto selectorText = message.find("selector");
    if (selectorText == message.end() || !selectorText->is_string()) return malformed("no selector");
    const auto selector = HelperSelectorFromRaw(selectorText->get_ref<const std::string&>());
    if (!selector) return malformed("unknown selector");
    const std::string name(rawValue(*selector));
    const auto arguments = message.find("arguments");
    const auto kinds = argumentKinds(*selector);
    if (arguments == message.end() || !arguments->is_array() || arguments->size() != kinds.size()) {
        return malformed(name + " needs " + std::to_string(kinds.size()) + " arguments");
    }
    for (std::size_t index = 0; index < kinds.size(); ++index) {
        if (!hasKind((*arguments)[index], kinds[index])) {
            return malformed(name + " argument " + std::to_string(index + 1) + " has the wrong type");
        }
    }
    const auto withReply = message.find("reply");
    if (withReply != message.end() && !withReply->is_boolean()) return malformed("the reply flag is not a Boolean");
    const bool wantsReply = withReply != message.end() && withReply->get<bool>();
    return HelperCall{*selector, *arguments, wantsReply && replyKind(*selector) != ReplyKind::none};
}

nlohmann::json encodeTextReply(const std::optional<std::string>& text) {
    if (!text || !platform::foundation::isValidUtf8(*text)) return reply(nullptr);
    return reply(*text);
}

nlohmann::json encodeTextArrayReply(const std::optional<std::vector<std::string>>& texts) {
    if (!texts) return reply(nullptr);
    return reply(*texts);
}

nlohmann::json encodeCodeReply(int code) {
    return reply(code);
}

Expected<std::optional<std::string>> decodeTextReply(const nlohmann::json& message) {
    auto value = replyValue(message);
    if (!value) return value.error();
    if (value.value()->is_null()) return std::optional<std::string>{};
    if (!value.value()->is_string()) return Error{EBADMSG, "A text reply holds no text"};
    return std::optional<std::string>(value.value()->get<std::string>());
}

Expected<std::optional<std::vector<std::string>>> decodeTextArrayReply(const nlohmann::json& message) {
    auto value = replyValue(message);
    if (!value) return value.error();
    if (value.value()->is_null()) return std::optional<std::vector<std::string>>{};
    const auto& array = *value.value();
    if (!array.is_array()) return Error{EBADMSG, "An array reply holds no array"};
    std::vector<std::string> texts;
    for (const auto& element : array) {
        if (!element.is_string()) return Error{EBADMSG, "An array reply holds something other than texts"};
        texts.push_back(element.get<std::string>());
    }
    return std::optional<std::vector<std::string>>(std::move(texts));
}

Expected<int> decodeCodeReply(const nlohmann::json& message) {
    auto value = replyValue(message);
    if (!value) return value.error();
    const auto& code = *value.value();
    if (!code.is_number_integer() || code.get<std::int64_t>() < std::numeric_limits<int>::min() ||
        code.get<std::int64_t>() > std::numeric_limits<int>::max()) {
        return Error{EBADMSG, "A code reply holds no 32-bit integer"};
    }
    return code.get<int>();
}

void deliver(const HelperCall& call, CorvantisHelperProtocol& receiver, ReplyChannel channel) {
    if (!call.withReply) channel = nullptr;
    TextReply textReply;
    TextArrayReply textArrayReply;
    CodeReply codeReply;
    if (channel) {
        textReply = [channel](std::optional<std::string> text) { channel(encodeTextReply(text)); };
        textArrayReply = [channel](std::optional<std::vector<std::string>> texts) { channel(encodeTextArrayReply(texts)); };
        codeReply = [channel](int code) { channel(encodeCodeReply(code)); };
    }
    switch (call.selector) {
        case HelperSelector::runCommand: receiver.runCommand(call.text(0), textReply); break;
        case HelperSelector::runOpenVPN:
            receiver.runOpenVPN(call.text(0), call.text(1), call.optionalText(2), call.optionalText(3), call.text(4),
                                textArrayReply);
            break;
        case HelperSelector::connectToL2TPServer:
            receiver.connectToL2TPServerWithAddress(call.optionalText(0), call.optionalText(1), call.optionalText(2),
                                                    call.optionalText(3), codeReply);
            break;
        case HelperSelector::connect: receiver.connect(); break;
        case HelperSelector::disconnect: receiver.disconnect(); break;
        case HelperSelector::toggleIpv6: receiver.toggleIpv6(call.boolean(0), textReply); break;
        case HelperSelector::backupResolvConf: receiver.backupResolvConf(); break;
        case HelperSelector::restoreResolvConf: receiver.restoreResolvConf(); break;
        case HelperSelector::connectToIKEv2Server:
            receiver.connectToIKEv2Server(IKEv2TunnelSettings::fromJson(call.arguments.at(0)).value(), call.text(1), codeReply);
            break;
        case HelperSelector::disconnectIKEv2: receiver.disconnectIKEv2(); break;
    }
}

}  // namespace corvantis::helper::HelperWireCodec
