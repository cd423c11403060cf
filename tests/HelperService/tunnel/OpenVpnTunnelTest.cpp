// The real helper runs the real openvpn in a client namespace against the testbed's OpenVPN
// server in a server namespace. The whole binary runs inside scripts/sandbox; elsewhere, or
// without the tun device or openvpn, every test skips and says why.

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::helper::HelperCall;
using corvantis::helper::HelperWireCodec::decodeTextArrayReply;
using corvantis::testbed::HelperDaemon;
using corvantis::testbed::OpenVpnTestbed;
using corvantis::testing::ReplyStream;
using corvantis::testing::TemporaryFolder;

namespace {

using Texts = std::vector<std::string>;

Texts texts(const std::optional<nlohmann::json>& reply) {
    if (!reply) return {"<connection closed>"};
    auto decoded = decodeTextArrayReply(*reply);
    if (!decoded || !decoded.value()) return {"<not a text array>"};
    return *decoded.value();
}

class OpenVpnTunnel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "makes network namespaces: runs only through scripts/sandbox";
        if (auto reason = OpenVpnTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        auto made = OpenVpnTestbed::up(folder.path());
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "helper.conf", "", 0600));
        helper = std::make_unique<HelperDaemon>(
            corvantis::testing::helperProgram(), socket,
            Texts{"--config", (folder / "helper.conf").string(), "--bundle-resources", testbed->bundle().string(),
                  "--runtime-folder", runtime.string(), "--openvpn", "/usr/sbin/openvpn", "--guard-preferences",
                  (folder / "guard.conf").string(), "--guard-script", (folder / "guard.sh").string(),
                  "--guard-unit-folder", (folder / "units").string()},
            testbed->inClientNamespace());
    }

    void TearDown() override {
        helper.reset();
        testbed.reset();
    }

    // Asks the helper to run openvpn as the application does, with its private profile.
    std::unique_ptr<ReplyStream> runOpenVPN(const std::string& password) const {
        const auto bundle = testbed->bundle();
        return std::make_unique<ReplyStream>(
            socket, HelperCall::runOpenVPN((bundle / "openvpn").string(), testbed->profile().string(), testbed->options().user,
                                           password, bundle.string(), true));
    }

    // Reads replies until an "ended" one; what came before it, in order, by their first element.
    static Texts kindsUntilEnded(ReplyStream& stream) {
        Texts kinds;
        while (kinds.empty() || kinds.back() != "ended") {
            const auto reply = texts(stream.next());
            kinds.push_back(reply.at(0));
            if (reply.at(0) == "<connection closed>") break;
        }
        return kinds;
    }

    bool runFoldersLeft() const {
        std::error_code error;
        return std::filesystem::exists(runtime, error) && !std::filesystem::is_empty(runtime, error);
    }

    TemporaryFolder folder;
    std::filesystem::path socket = folder / "helper.sock";
    std::filesystem::path runtime = folder / "run";
    std::unique_ptr<OpenVpnTestbed> testbed;
    std::unique_ptr<HelperDaemon> helper;
};

TEST_F(OpenVpnTunnel, TheTunnelComesUpThroughTheHelperAndGoesOnDisconnect) {
    auto stream = runOpenVPN(testbed->options().password);
    const auto first = texts(stream->next());
    ASSERT_EQ(first.size(), 3u) << first.at(0) << "\n" << (first.size() > 1 ? first[1] : "") << testbed->serverLog();
    EXPECT_EQ(first[0], "connected");
    EXPECT_EQ(first[1].rfind("OpenVPN ended with output:", 0), 0u);
    EXPECT_NE(first[1].find("add net 0.0.0.0: gateway 203.0.113.1\n"), std::string::npos) << first[1];
    EXPECT_NE(first[1].find("Initialization Sequence Completed"), std::string::npos);
    EXPECT_EQ(first[2], OpenVpnTestbed::tunnelGateway);
    EXPECT_NE(testbed->clientRoutes().find("dev tun"), std::string::npos) << testbed->clientRoutes();
    EXPECT_TRUE(runFoldersLeft());

    corvantis::testing::callUntilDone(socket, HelperCall::disconnect());
    EXPECT_EQ(kindsUntilEnded(*stream), Texts{"ended"});
    EXPECT_FALSE(stream->next().has_value());
    EXPECT_EQ(testbed->clientRoutes().find("dev tun"), std::string::npos) << testbed->clientRoutes();
    EXPECT_FALSE(runFoldersLeft());
}

TEST_F(OpenVpnTunnel, AWrongPasswordEnds) {
    auto stream = runOpenVPN("not the password");
    const auto first = texts(stream->next());
    ASSERT_EQ(first.at(0), "ended");
    EXPECT_NE(first.at(1).find("AUTH_FAILED"), std::string::npos) << first.at(1);
    EXPECT_EQ(testbed->clientRoutes().find("dev tun"), std::string::npos);
}

TEST_F(OpenVpnTunnel, KillingTheServerEndsTheRun) {
    auto stream = runOpenVPN(testbed->options().password);
    ASSERT_EQ(texts(stream->next()).at(0), "connected");
    testbed->killServer();
    EXPECT_EQ(kindsUntilEnded(*stream).back(), "ended");
    while (stream->next()) {
    }
    EXPECT_FALSE(runFoldersLeft());
    EXPECT_EQ(testbed->clientRoutes().find("dev tun"), std::string::npos) << testbed->clientRoutes();
}

TEST_F(OpenVpnTunnel, AHelperThatStopsEndsItsTunnelsFirst) {
    auto stream = runOpenVPN(testbed->options().password);
    ASSERT_EQ(texts(stream->next()).at(0), "connected");
    helper.reset();
    EXPECT_EQ(testbed->clientRoutes().find("dev tun"), std::string::npos) << testbed->clientRoutes();
    EXPECT_FALSE(runFoldersLeft());
}

}  // namespace
