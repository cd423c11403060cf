// The VICI client drives a real charon in the testbed's client namespace against the testbed's
// IKEv2 responder: load a connection and an EAP secret, initiate, see the SA listed and the
// ping cross, terminate; a wrong password fails the initiate. Runs inside scripts/sandbox as
// root; skipped with the reason otherwise.

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/network/ViciSession.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/strongswan/StrongSwanTestbed.hpp"

#include <gtest/gtest.h>

using corvantis::testbed::StrongSwanTestbed;
using platform::network::ViciMessage;
using platform::network::ViciSession;
using namespace std::chrono_literals;

namespace {

class ViciResponder : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = StrongSwanTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        auto made = StrongSwanTestbed::up(folder.path());
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        auto socket = testbed->startClientCharon();
        ASSERT_TRUE(socket) << socket.error().message;
        auto session = ViciSession::connect(socket.value());
        ASSERT_TRUE(session) << session.error().message;
        vici = std::move(session.value());
        auto ca = platform::foundation::FileSystem::readFile(testbed->caCertificate());
        ASSERT_TRUE(ca);
        ASSERT_TRUE(vici->loadAuthorityCertificate(ca.value()));
    }

    void load(const std::string& password) {
        const auto& options = testbed->options();
        const auto connection =
            ViciMessage()
                .add("version", "2")
                .addList("remote_addrs", {options.hostname})
                .addList("vips", {"0.0.0.0"})
                .add("encap", "yes")
                .addSection("local",
                            ViciMessage().add("auth", "eap-mschapv2").add("id", options.user).add("eap_id", options.user))
                .addSection("remote", ViciMessage().add("auth", "pubkey").add("id", options.hostname))
                .addSection("children", ViciMessage().addSection("tunnel", ViciMessage().addList("remote_ts", {"0.0.0.0/0"})));
        const auto loaded = vici->loadConn("tunnel", connection);
        ASSERT_TRUE(loaded) << loaded.error().message;
        const auto secret = vici->loadShared("account", "EAP", password, {options.user});
        ASSERT_TRUE(secret) << secret.error().message;
    }

    bool pingInside() const {
        auto ping = platform::foundation::runToEnd(
            *platform::foundation::PosixProcessLauncher::shared(),
            {"/usr/bin/env", testbed->inClientNamespace({"ping", "-c1", "-W2", StrongSwanTestbed::insideAddress}), {}, nullptr});
        return ping && ping.value().exit.succeeded();
    }

    corvantis::testing::TemporaryFolder folder;
    std::unique_ptr<StrongSwanTestbed> testbed;
    std::unique_ptr<ViciSession> vici;
};

TEST_F(ViciResponder, BringsTheTunnelUpListsItAndTakesItDown) {
    load(testbed->options().password);
    ASSERT_FALSE(pingInside()) << "the inside address must be out of reach without the tunnel";
    ASSERT_TRUE(vici->registerEvent("ike-updown"));

    const auto up = vici->initiate("tunnel", "tunnel", 10s);
    ASSERT_TRUE(up) << up.error().message << "\n" << testbed->clientLog();
    const auto event = vici->nextEvent(2s);
    ASSERT_TRUE(event) << event.error().message;
    EXPECT_EQ(event.value().name, "ike-updown");
    ASSERT_NE(event.value().message.section("tunnel"), nullptr);

    const auto sas = vici->listSas();
    ASSERT_TRUE(sas) << sas.error().message;
    ASSERT_EQ(sas.value().size(), 1u);
    const auto* sa = sas.value()[0].section("tunnel");
    ASSERT_NE(sa, nullptr);
    EXPECT_EQ(*sa->value("state"), "ESTABLISHED");
    ASSERT_NE(sa->list("local-vips"), nullptr);
    EXPECT_TRUE(pingInside());

    const auto down = vici->terminate("tunnel");
    ASSERT_TRUE(down) << down.error().message;
    EXPECT_FALSE(pingInside());
    const auto none = vici->listSas();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none.value().empty());
}

TEST_F(ViciResponder, AWrongPasswordFailsTheInitiate) {
    load("not-the-password");
    const auto up = vici->initiate("tunnel", "tunnel", 10s);
    ASSERT_FALSE(up);
    EXPECT_NE(testbed->clientLog().find("EAP_MSCHAPV2 method failed"), std::string::npos) << testbed->clientLog();
    EXPECT_FALSE(pingInside());
}

}  // namespace
