// The IPsec half of L2TP/IPsec against a real strongSwan responder: the helper's own charon in
// the testbed's client namespace brings the pre-shared-secret SA for L2TP's port up over VICI,
// a wrong secret fails, and bringing it down ends the SA on both sides. Runs inside
// scripts/sandbox as root; skipped with the reason otherwise.

#include "HelperService/CorvantisHelper/CharonL2TPIpsec.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/network/ViciSession.hpp"
#include "support/Patience.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/strongswan/StrongSwanTestbed.hpp"

#include <gtest/gtest.h>

#include <thread>

using corvantis::helper::CharonL2TPIpsec;
using corvantis::helper::L2TPLinkState;
using corvantis::testbed::StrongSwanTestbed;
using platform::network::ViciMessage;
using platform::network::ViciSession;
using namespace std::chrono_literals;

namespace {

// Starts every program inside the testbed's client namespace.
class ClientNamespaceLauncher final : public platform::foundation::ProcessLauncher {
public:
    explicit ClientNamespaceLauncher(const StrongSwanTestbed& testbed) : testbed_(testbed) {}

    platform::foundation::Expected<pid_t> launch(const platform::foundation::ProcessRequest& request,
                                                 platform::foundation::ProcessEvents events) override {
        std::vector<std::string> command{request.program.string()};
        command.insert(command.end(), request.arguments.begin(), request.arguments.end());
        for (const auto& argument : command) commandLines += argument + " ";
        return real_->launch(
            {"/usr/bin/env", testbed_.inClientNamespace(command), request.workingDirectory, request.standardInput},
            std::move(events));
    }
    platform::foundation::Expected<void> signalProcessGroup(pid_t group, int signal) override {
        return real_->signalProcessGroup(group, signal);
    }

    // Every command line started, one after the other.
    std::string commandLines;

private:
    const StrongSwanTestbed& testbed_;
    std::shared_ptr<platform::foundation::ProcessLauncher> real_ = platform::foundation::PosixProcessLauncher::shared();
};

class L2TPIpsecResponder : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = StrongSwanTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        auto made = StrongSwanTestbed::up(folder / "testbed");
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        // The server's side: the same SA for L2TP's port, the same shared secret.
        auto session = ViciSession::connect(testbed->serverVici());
        ASSERT_TRUE(session) << session.error().message;
        server = std::move(session.value());
        auto serverConnection = CharonL2TPIpsec::connection("%any", true);
        auto answer = server->loadConn("l2tp-server", ViciMessage()
                                                          .add("version", "1")
                                                          .addList("local_addrs", {StrongSwanTestbed::serverAddress})
                                                          .add("encap", "yes")
                                                          .addSection("local", ViciMessage().add("auth", "psk"))
                                                          .addSection("remote", ViciMessage().add("auth", "psk"))
                                                          .addSection("children", *serverConnection.section("children")));
        ASSERT_TRUE(answer) << answer.error().message;
        ASSERT_TRUE(server->loadShared("l2tp", "IKE", "velmortan", {}));

        CharonL2TPIpsec::Options options;
        options.charon.resolverFile = folder / "resolv.conf";
        options.charon.userSpaceEsp = true;
        options.charon.allowPeerTrafficSelectors = true;
        options.runtimeFolder = folder / "run";
        launcher = std::make_shared<ClientNamespaceLauncher>(*testbed);
        ipsec = std::make_unique<CharonL2TPIpsec>(options, launcher, log);
    }

    // The state once it has left connecting, or connecting when it never does (bounded).
    L2TPLinkState::Ipsec settledState() {
        auto state = L2TPLinkState::Ipsec::connecting;
        corvantis::testing::eventually(
            [&] { return (state = ipsec->state("corvantis-l2tp")) != L2TPLinkState::Ipsec::connecting; });
        return state;
    }

    // What the helper's charon logged.
    std::string clientLog() const {
        std::string text;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "run")) {
            if (entry.path().filename() != "charon.log") continue;
            auto content = platform::foundation::FileSystem::readFile(entry.path());
            if (content) text += content.value();
        }
        return text;
    }

    std::size_t serverSas() const {
        const auto sas = server->listSas();
        return sas ? sas.value().size() : 99;
    }

    corvantis::testing::TemporaryFolder folder;
    std::shared_ptr<corvantis::testing::RecordingHelperLog> log = std::make_shared<corvantis::testing::RecordingHelperLog>();
    std::unique_ptr<StrongSwanTestbed> testbed;
    std::unique_ptr<ViciSession> server;
    std::shared_ptr<ClientNamespaceLauncher> launcher;
    std::unique_ptr<CharonL2TPIpsec> ipsec;
};

TEST_F(L2TPIpsecResponder, BringsTheSharedSecretSaUpAndDown) {
    const auto up = ipsec->bringUp({"corvantis-l2tp", StrongSwanTestbed::serverAddress, "velmortan"});
    ASSERT_TRUE(up) << up.error().message;
    ASSERT_EQ(settledState(), L2TPLinkState::Ipsec::up) << clientLog();
    EXPECT_EQ(serverSas(), 1u);
    // The secret reached charon over its socket only.
    EXPECT_EQ(launcher->commandLines.find("velmortan"), std::string::npos) << launcher->commandLines;
    EXPECT_FALSE(log->mentions("velmortan"));
    EXPECT_EQ(clientLog().find("velmortan"), std::string::npos);

    const auto down = ipsec->bringDown("corvantis-l2tp");
    EXPECT_TRUE(down) << down.error().message;
    EXPECT_EQ(ipsec->state("corvantis-l2tp"), L2TPLinkState::Ipsec::down);
    EXPECT_EQ(serverSas(), 0u);
}

TEST_F(L2TPIpsecResponder, AWrongSharedSecretEndsDown) {
    const auto up = ipsec->bringUp({"corvantis-l2tp", StrongSwanTestbed::serverAddress, "not-the-secret"});
    ASSERT_TRUE(up) << up.error().message;
    EXPECT_EQ(settledState(), L2TPLinkState::Ipsec::down) << clientLog();
}

}  // namespace
