#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace corvantis::helper;

namespace {

// Records each call as one text and answers every reply block with a fixed value.
class RecordingHelper final : public CorvantisHelperProtocol {
public:
    std::vector<std::string> calls;

    void runCommand(const std::string& command, TextReply reply) override {
        calls.push_back("runCommand " + command + (reply ? " +reply" : ""));
        if (reply) reply("done");
    }
    void runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                    const std::optional<std::string>& password, const std::string& workingDirectory,
                    TextArrayReply reply) override {
        calls.push_back("runOpenVPN " + path + " " + config + " " + userName.value_or("<none>") + " " +
                        password.value_or("<none>") + " " + workingDirectory);
        if (reply) reply(std::vector<std::string>{"connected", "OpenVPN ended with output:\n", "10.8.0.1"});
    }
    void connectToL2TPServerWithAddress(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& sharedSecret, CodeReply reply) override {
        calls.push_back("l2tp " + address.value_or("<none>") + " " + username.value_or("<none>") + " " +
                        password.value_or("<none>") + " " + sharedSecret.value_or("<none>"));
        if (reply) reply(-1);
    }
    bool connect() override {
        calls.push_back("connect");
        return true;
    }
    void disconnect() override { calls.push_back("disconnect"); }
    void toggleIpv6(bool enable, TextReply reply) override {
        calls.push_back(std::string("toggleIpv6 ") + (enable ? "YES" : "NO") + (reply ? " +reply" : ""));
    }
    void backupResolvConf() override { calls.push_back("backupResolvConf"); }
    void restoreResolvConf() override { calls.push_back("restoreResolvConf"); }
    void connectToIKEv2Server(const IKEv2TunnelSettings& settings, const std::string& password, CodeReply reply) override {
        calls.push_back("ikev2 " + settings.serverAddress + " " + settings.username.value_or("<none>") + " " + password);
        if (reply) reply(static_cast<int>(IKEv2TunnelResult::connected));
    }
    void disconnectIKEv2() override { calls.push_back("disconnectIKEv2"); }
};

// Sends the call through JSON text, as the socket would, and delivers it.
std::vector<nlohmann::json> roundTrip(const HelperCall& call, RecordingHelper& helper) {
    const auto wire = nlohmann::json::parse(HelperWireCodec::encodeCall(call).dump());
    auto decoded = HelperWireCodec::decodeCall(wire);
    EXPECT_TRUE(decoded) << (decoded ? "" : decoded.error().message);
    std::vector<nlohmann::json> replies;
    if (decoded)
        HelperWireCodec::deliver(decoded.value(), helper, [&](const nlohmann::json& reply) { replies.push_back(reply); });
    return replies;
}

TEST(HelperWireCodec, EveryMethodArrivesWithItsArgumentsAndReplyKind) {
    RecordingHelper helper;
    EXPECT_EQ(roundTrip(HelperCall::runCommand("route -n add default 1.2.3.4", true), helper),
              (std::vector<nlohmann::json>{{{"reply", "done"}}}));
    EXPECT_TRUE(roundTrip(HelperCall::runCommand("silent", false), helper).empty());
    const auto openvpn =
        roundTrip(HelperCall::runOpenVPN("/r/openvpn", "/r/config.ovpn", "user", std::nullopt, "/r", true), helper);
    ASSERT_EQ(openvpn.size(), 1u);
    EXPECT_EQ(HelperWireCodec::decodeTextArrayReply(openvpn[0]).value()->at(2), "10.8.0.1");
    const auto l2tp =
        roundTrip(HelperCall::connectToL2TPServer("vpn.example", std::nullopt, "secret", "velmortan", true), helper);
    EXPECT_EQ(HelperWireCodec::decodeCodeReply(l2tp.at(0)).value(), -1);
    EXPECT_TRUE(roundTrip(HelperCall::connect(), helper).empty());
    roundTrip(HelperCall::disconnect(), helper);
    roundTrip(HelperCall::toggleIpv6(true, false), helper);
    roundTrip(HelperCall::backupResolvConf(), helper);
    roundTrip(HelperCall::restoreResolvConf(), helper);
    IKEv2TunnelSettings ikev2;
    ikev2.serverAddress = "vpn.example";
    ikev2.username = "user";
    const auto ikev2Replies = roundTrip(HelperCall::connectToIKEv2Server(ikev2, "pass word", true), helper);
    EXPECT_EQ(HelperWireCodec::decodeCodeReply(ikev2Replies.at(0)).value(), 0);
    roundTrip(HelperCall::disconnectIKEv2(), helper);
    EXPECT_EQ(helper.calls, (std::vector<std::string>{"runCommand route -n add default 1.2.3.4 +reply", "runCommand silent",
                                                      "runOpenVPN /r/openvpn /r/config.ovpn user <none> /r",
                                                      "l2tp vpn.example <none> secret velmortan", "connect", "disconnect",
                                                      "toggleIpv6 YES", "backupResolvConf", "restoreResolvConf",
                                                      "ikev2 vpn.example user pass word", "disconnectIKEv2"}));
    EXPECT_EQ(HelperWireCodec::encodeCall(HelperCall::toggleIpv6(true, true)).at("selector"), "toggleIpv6:withReply:");
}

TEST(HelperWireCodec, MalformedCallsAreRefusedWithoutQuotingTheirValues) {
    const std::vector<nlohmann::json> malformed = {
        nlohmann::json::array({"runCommand:withReply:"}),
        {{"arguments", {"x"}}},
        {{"selector", "eraseDisk:"}, {"arguments", nlohmann::json::array()}},
        {{"selector", "runCommand:withReply:"}},
        {{"selector", "runCommand:withReply:"}, {"arguments", nlohmann::json::array()}},
        {{"selector", "runCommand:withReply:"}, {"arguments", {"a", "b"}}},
        {{"selector", "runCommand:withReply:"}, {"arguments", {42}}},
        {{"selector", "runCommand:withReply:"}, {"arguments", {nullptr}}},
        {{"selector", "toggleIpv6:withReply:"}, {"arguments", {"YES"}}},
        {{"selector", "runOpenVPN:usingConfig:userName:andPassword:workingDirectory:withReply:"},
         {"arguments", {"/p", "/c", "user", "hunter2-secret", 5}}},
        {{"selector", "runCommand:withReply:"}, {"arguments", {"ls"}}, {"reply", "yes"}},
    };
    for (const auto& message : malformed) {
        auto decoded = HelperWireCodec::decodeCall(message);
        ASSERT_FALSE(decoded) << message.dump();
        EXPECT_EQ(decoded.error().message.find("hunter2"), std::string::npos);
    }
}

TEST(HelperWireCodec, AReplyFlagOnAMethodWithoutReplyIsIgnored) {
    auto decoded =
        HelperWireCodec::decodeCall({{"selector", "disconnect"}, {"arguments", nlohmann::json::array()}, {"reply", true}});
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded.value().withReply);
}

TEST(HelperWireCodec, RepliesEncodeNoTextAndNoArrayAsNull) {
    EXPECT_EQ(HelperWireCodec::encodeTextReply(std::string("gateway\n")), (nlohmann::json{{"reply", "gateway\n"}}));
    EXPECT_EQ(HelperWireCodec::encodeTextReply(std::string("\xff\xfe")), (nlohmann::json{{"reply", nullptr}}));
    EXPECT_EQ(HelperWireCodec::encodeTextReply(std::nullopt), (nlohmann::json{{"reply", nullptr}}));
    EXPECT_EQ(HelperWireCodec::encodeTextArrayReply(std::nullopt), (nlohmann::json{{"reply", nullptr}}));

    EXPECT_EQ(HelperWireCodec::decodeTextReply({{"reply", nullptr}}).value(), std::nullopt);
    EXPECT_EQ(HelperWireCodec::decodeTextReply({{"reply", ""}}).value(), std::optional<std::string>(""));
    EXPECT_FALSE(HelperWireCodec::decodeTextReply({{"reply", 3}}));
    EXPECT_FALSE(HelperWireCodec::decodeTextReply({{"other", "x"}}));
    EXPECT_EQ(HelperWireCodec::decodeTextArrayReply({{"reply", nullptr}}).value(), std::nullopt);
    EXPECT_FALSE(HelperWireCodec::decodeTextArrayReply({{"reply", {"a", 1}}}));
    EXPECT_FALSE(HelperWireCodec::decodeCodeReply({{"reply", "105"}}));
    EXPECT_FALSE(HelperWireCodec::decodeCodeReply({{"reply", 4294967296}}));
    EXPECT_EQ(HelperWireCodec::decodeCodeReply({{"reply", 105}}).value(), 105);
}

}  // namespace
