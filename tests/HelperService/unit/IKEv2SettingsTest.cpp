// The IKEv2 settings as the helper takes them (checked forms only) and the strongSwan
// connection they become.

#include "HelperService/CorvantisHelper/StrongSwanConnection.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"

#include <gtest/gtest.h>

using namespace corvantis::helper;
using platform::network::IKEv2AuthenticationMethod;
using platform::network::IKEv2DeadPeerDetectionRate;
using platform::network::ViciMessage;
using platform::network::VPNProtocolIKEv2;

namespace {

// The configuration the connect screen makes for host "vpn.example.com" and user "alice".
VPNProtocolIKEv2 screenConfiguration() {
    VPNProtocolIKEv2 configuration;
    configuration.remoteIdentifier = "vpn.example.com";
    configuration.localIdentifier = "alice";
    configuration.authenticationMethod = IKEv2AuthenticationMethod::none;
    configuration.deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::high;
    configuration.passwordReference = "ref-1";
    configuration.serverAddress = "vpn.example.com";
    configuration.username = "alice";
    configuration.useExtendedAuthentication = true;
    configuration.disconnectOnSleep = false;
    return configuration;
}

IKEv2TunnelSettings screenSettings() {
    return IKEv2TunnelSettings::from(screenConfiguration()).value();
}

TEST(IKEv2Settings, TheScreensConfigurationBecomesAnEapLoginWithTheServersCertificate) {
    const auto connection = StrongSwanConnection::make(screenSettings(), true);
    ASSERT_TRUE(connection) << connection.error().message;
    const auto expected =
        ViciMessage()
            .add("version", "2")
            .addList("remote_addrs", {"vpn.example.com"})
            .addList("vips", {"0.0.0.0"})
            .add("encap", "yes")
            .add("dpd_delay", "60s")
            .add("keyingtries", "1")
            .addSection("local", ViciMessage().add("auth", "eap-mschapv2").add("id", "alice").add("eap_id", "alice"))
            .addSection("remote", ViciMessage().add("auth", "pubkey").add("id", "vpn.example.com"))
            .addSection("children", ViciMessage().addSection("corvantis-ikev2", ViciMessage()
                                                                                    .addList("remote_ts", {"0.0.0.0/0"})
                                                                                    .add("dpd_action", "clear")
                                                                                    .add("start_action", "none")
                                                                                    .add("close_action", "none")));
    EXPECT_EQ(connection.value(), expected);
    // No secret of any kind is part of the connection.
    EXPECT_EQ(connection.value().encode().value().find("ref-1"), std::string::npos);
}

TEST(IKEv2Settings, EachSettingMapsOrIsRefused) {
    struct Case {
        const char* what;
        std::function<void(IKEv2TunnelSettings&)> change;
        bool userSpaceEsp;
        // section ("" for the top), key, expected value; or an empty key for a refusal.
        const char* section;
        const char* key;
        const char* value;
    };
    const std::vector<Case> cases{
        {"kernel ESP needs no UDP", [](auto&) {}, false, "", "encap", "no"},
        {"low rate", [](auto& s) { s.deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::low; }, true, "", "dpd_delay", "1800s"},
        {"medium rate", [](auto& s) { s.deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::medium; }, true, "", "dpd_delay",
         "600s"},
        {"no detection", [](auto& s) { s.deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::none; }, true, "", "dpd_delay",
         "0s"},
        {"address as server",
         [](auto& s) {
             s.serverAddress = "192.0.2.7";
             s.remoteIdentifier.reset();
         },
         true, "remote", "id", "192.0.2.7"},
        {"other remote identity", [](auto& s) { s.remoteIdentifier = "gw.example.com"; }, true, "remote", "id", "gw.example.com"},
        {"user name is the EAP identity", [](auto& s) { s.username = "bob@example.com"; }, true, "local", "eap_id",
         "bob@example.com"},
        {"certificate login", [](auto& s) { s.authenticationMethod = IKEv2AuthenticationMethod::certificate; }, true, "", "", ""},
        {"shared secret", [](auto& s) { s.authenticationMethod = IKEv2AuthenticationMethod::sharedSecret; }, true, "", "", ""},
        {"no account login", [](auto& s) { s.useExtendedAuthentication = false; }, true, "", "", ""},
        {"no user name", [](auto& s) { s.username.reset(); }, true, "", "", ""},
        {"disconnect on sleep", [](auto& s) { s.disconnectOnSleep = true; }, true, "", "", ""},
    };
    for (const auto& c : cases) {
        auto settings = screenSettings();
        c.change(settings);
        const auto connection = StrongSwanConnection::make(settings, c.userSpaceEsp);
        if (std::string(c.key).empty()) {
            EXPECT_FALSE(connection) << c.what;
            continue;
        }
        ASSERT_TRUE(connection) << c.what << ": " << connection.error().message;
        const auto* section = std::string(c.section).empty() ? &connection.value() : connection.value().section(c.section);
        ASSERT_NE(section, nullptr) << c.what;
        ASSERT_NE(section->value(c.key), nullptr) << c.what;
        EXPECT_EQ(*section->value(c.key), c.value) << c.what;
    }
}

TEST(IKEv2Settings, OnlyAllowedFormsReachTheHelper) {
    const std::vector<std::pair<const char*, std::function<void(VPNProtocolIKEv2&)>>> refused{
        {"no server", [](auto& c) { c.serverAddress.reset(); }},
        {"shell in the server", [](auto& c) { c.serverAddress = "vpn.example.com;reboot"; }},
        {"blank in the server", [](auto& c) { c.serverAddress = "vpn example"; }},
        {"label with a dash at the end", [](auto& c) { c.serverAddress = "vpn-.example.com"; }},
        {"too long a label", [](auto& c) { c.serverAddress = std::string(64, 'a') + ".com"; }},
        {"empty label", [](auto& c) { c.remoteIdentifier = "vpn..example.com"; }},
        {"line end in the user", [](auto& c) { c.username = "alice\nload = yes"; }},
        {"blank in the local identity", [](auto& c) { c.localIdentifier = "alice smith"; }},
        {"empty user", [](auto& c) { c.username = ""; }},
        {"too long a user", [](auto& c) { c.username = std::string(256, 'u'); }},
    };
    for (const auto& [what, change] : refused) {
        auto configuration = screenConfiguration();
        change(configuration);
        EXPECT_FALSE(IKEv2TunnelSettings::from(configuration)) << what;
    }

    // The wire checks the same, and the rate's and method's ranges, without quoting the password.
    const auto call = [](nlohmann::json settings, nlohmann::json password) {
        return nlohmann::json{{"selector", "connectToIKEv2ServerWithSettings:andPassword:withReply:"},
                              {"arguments", {std::move(settings), std::move(password)}},
                              {"reply", true}};
    };
    const auto good = screenSettings().toJson();
    ASSERT_TRUE(HelperWireCodec::decodeCall(call(good, "hunter2-secret")));
    auto outOfRange = good;
    outOfRange["deadPeerDetectionRate"] = 4;
    auto badHost = good;
    badHost["serverAddress"] = "$(reboot)";
    auto missing = good;
    missing.erase("disconnectOnSleep");
    for (const auto& message :
         {call(outOfRange, "hunter2-secret"), call(badHost, "hunter2-secret"), call(missing, "hunter2-secret"), call(good, ""),
          call(good, std::string(256, 'p')), call(good, std::string("hunter2\0x", 9)), call(good, 7),
          call("vpn.example.com", "hunter2-secret")}) {
        const auto decoded = HelperWireCodec::decodeCall(message);
        ASSERT_FALSE(decoded) << message.dump();
        EXPECT_EQ(decoded.error().message.find("hunter2"), std::string::npos);
    }
}

}  // namespace
