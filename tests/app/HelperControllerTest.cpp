// The helper client: one reply per call on the main queue, calls without a reply, the OpenVPN
// reply, and installing the helper through the service manager.

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "app/AppDelegate.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/xpc/XpcConnector.hpp"
#include "support/ScopedEnvironment.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

using corvantis::CorvantisHelperController;
using corvantis::helper::HelperWireCodec::encodeTextArrayReply;
using platform::foundation::DomainError;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

constexpr const char* nameServerQuery = "scutil --dns | grep 'nameserver' | awk '{print $3}'";
constexpr const char* noResponse = "No response from helper tool!";

bool logged(const corvantis::testing::AppTestEnvironment& environment, const std::string& message) {
    const auto messages = environment.console->messages();
    return std::ranges::find(messages, message) != messages.end();
}

// The real helper program on a temporary socket, reached through the real connector. The helper
// serves root only, so these tests need root.
class RealHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the helper serves root and the users root configured; this test is not root";
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(environment.folder / "resolv.conf",
                                                                          "nameserver 192.168.1.1\nnameserver 8.8.8.8\n", 0644));
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(environment.folder / "helper.conf", "", 0600));
        const auto path = [&](const char* name) { return (environment.folder / name).string(); };
        auto options = corvantis::testbed::HelperDaemon::privateFilesIn(environment.folder.path());
        options.insert(options.end(), {"--config", path("helper.conf")});
        daemon = std::make_unique<corvantis::testbed::HelperDaemon>(CORVANTIS_HELPER_PROGRAM, socket, options);
    }

    corvantis::testing::AppTestEnvironment environment{nullptr, platform::xpc::UnixSocketXpcConnector::shared()};
    std::filesystem::path socket = environment.folder / "helper.sock";
    corvantis::testing::ScopedEnvironment socketSetting{"CORVANTIS_HELPER_SOCKET", socket.string()};
    std::unique_ptr<corvantis::testbed::HelperDaemon> daemon;
    CorvantisHelperController controller;
};

TEST_F(RealHelperTest, OnlyTheFirstOfTheHelpersRepliesReachesTheCallerOnTheMainQueue) {
    // The helper answers a command with its output and once more, empty, when it ends.
    std::vector<std::optional<std::string>> replies;
    bool onMainThread = false;
    controller.runCommand(nameServerQuery, [&](std::optional<std::string> reply) {
        onMainThread = environment.time.mainQueue().isCurrent();
        replies.push_back(std::move(reply));
    });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return !replies.empty(); }))
        << testing::PrintToString(environment.console->messages());
    // A second call goes through after the first connection has closed, so any late reply of the
    // first would have been queued by now.
    bool secondDone = false;
    controller.runCommand(nameServerQuery, [&](std::optional<std::string>) { secondDone = true; });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return secondDone; }));
    EXPECT_EQ(replies, (std::vector<std::optional<std::string>>{"192.168.1.1\n8.8.8.8\n"}));
    EXPECT_TRUE(onMainThread);
}

TEST_F(RealHelperTest, ACallThatEndsWithoutAReplyIsLoggedAndCallsNobody) {
    // The helper never answers this call; its connection ends when the helper stops.
    bool called = false;
    controller.toggleIpv6(true, [&](std::optional<std::string>) { called = true; });
    daemon.reset();
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return logged(environment, noResponse); }));
    environment.runMainQueue();
    EXPECT_FALSE(called);
}

TEST_F(RealHelperTest, NoHelperListeningMeansNoResponse) {
    daemon.reset();
    bool called = false;
    controller.runCommand(nameServerQuery, [&](std::optional<std::string>) { called = true; });
    environment.runMainQueue();
    EXPECT_TRUE(logged(environment, noResponse));
    EXPECT_FALSE(called);
}

class HelperClientTest : public ::testing::Test {
protected:
    void SetUp() override { corvantis::AppDelegate::setShared(delegate); }

    // Starts runOpenVPN and gives it `reply` as the helper's first reply (none: the connection
    // ends without one), when the call reached the helper.
    std::vector<bool> openVpnAnswer(const std::optional<nlohmann::json>& reply) {
        std::vector<bool> answers;
        environment.helper->clear();
        controller.runOpenVPN("/r/openvpn", "/p/config.ovpn", "u", "p", "/r",
                              [&](bool connected) { answers.push_back(connected); });
        if (!environment.helper->calls().empty()) environment.helper->answer(0, reply);
        environment.runMainQueue();
        return answers;
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    CorvantisHelperController controller;
};

TEST_F(HelperClientTest, TheOpenVpnReplySaysConnectedAndNamesTheTunnelGateway) {
    delegate->openVpnGateway = "10.0.0.9";
    EXPECT_EQ(openVpnAnswer(encodeTextArrayReply(Texts{"connected", "output"})), std::vector<bool>{true});
    EXPECT_EQ(delegate->openVpnGateway, std::nullopt) << "a reply without a gateway names none, not an older tunnel's";
    EXPECT_EQ(openVpnAnswer(encodeTextArrayReply(Texts{"connected", "output", "10.8.0.1"})), std::vector<bool>{true});
    EXPECT_EQ(delegate->openVpnGateway, "10.8.0.1");
    EXPECT_EQ(openVpnAnswer(encodeTextArrayReply(Texts{"ended", "OpenVPN ended with output:AUTH_FAILED"})),
              std::vector<bool>{false});
    EXPECT_TRUE(logged(environment, "OpenVPN ended with output:AUTH_FAILED"));
    EXPECT_EQ(delegate->openVpnGateway, "10.8.0.1");
}

TEST_F(HelperClientTest, AnOpenVpnStartWithoutAUsableReplyHasFailed) {
    EXPECT_EQ(openVpnAnswer(encodeTextArrayReply(std::nullopt)), std::vector<bool>{false});
    EXPECT_TRUE(logged(environment, noResponse));
    EXPECT_EQ(openVpnAnswer(nlohmann::json("not a reply")), std::vector<bool>{false});
    EXPECT_EQ(openVpnAnswer(std::nullopt), std::vector<bool>{false}) << "the connection ended without a reply";
    environment.helper->refuseConnections();
    EXPECT_EQ(openVpnAnswer(std::nullopt), std::vector<bool>{false}) << "no helper to ask";
}

TEST_F(HelperClientTest, TerminatingIsSentBeforeItReturnsAndTheResolverIsCheckedThreeSecondsLater) {
    controller.terminateAllVpnConnections();
    EXPECT_EQ(environment.helper->selectors(), Texts{"disconnect"});
    EXPECT_TRUE(logged(environment, "Terminating VPN connection"));
    environment.time.advance(2999ms);
    EXPECT_EQ(environment.helper->selectors(), Texts{"disconnect"});
    environment.time.advance(1ms);
    EXPECT_EQ(environment.helper->selectors(), (Texts{"disconnect", "restoreResolvConf"}));
    EXPECT_TRUE(logged(environment, "Checking resolv.conf..."));
    controller.backupResolvConf();
    EXPECT_EQ(environment.helper->selectors().back(), "backupResolvConf");
    for (const auto& call : environment.helper->calls()) EXPECT_FALSE(call.handler) << rawValue(call.call.selector);
}

// Installing: the bundle's copy of the helper is the real program, whose embedded version is 78.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto folder = bundle.bundlePath() / "Contents" / "Library" / "LaunchServices";
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(folder));
        std::filesystem::copy_file(CORVANTIS_HELPER_PROGRAM, folder / "com.corvantis.CorvantisHelper");
    }

    // A copy of the helper program carrying `version` in its embedded information.
    std::filesystem::path helperOfVersion(const std::string& version) const {
        const auto program = environment.folder / ("helper-" + version);
        const auto info = environment.folder / ("info-" + version + ".json");
        EXPECT_TRUE(
            platform::foundation::FileSystem::writeFileAtomically(info, R"({"CFBundleVersion": ")" + version + R"("})", 0644));
        const auto command = "objcopy --update-section __info_plist=" + info.string() + " " +
                             std::string(CORVANTIS_HELPER_PROGRAM) + " " + program.string();
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return program;
    }

    bool install(DomainError& error) {
        platform::ScopedServices withBundle([&] {
            auto services = platform::Services::current();
            services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(bundle);
            return services;
        }());
        return controller.installPrivilegedHelperTool(&error);
    }

    corvantis::testing::AppTestEnvironment environment;
    platform::foundation::Bundle bundle{environment.folder / "Corvantis VPN.app"};
    CorvantisHelperController controller;
};

TEST_F(InstallerTest, TheSameVersionIsLeftAloneWhenItServesThisUser) {
    environment.serviceManager->installedProgram = helperOfVersion("78");
    environment.serviceManager->allowedUsers = {::getuid()};
    DomainError error;
    EXPECT_TRUE(install(error));
    EXPECT_TRUE(environment.serviceManager->steps.empty());
    EXPECT_TRUE(logged(environment, "Helper tool is installed.\nCurrent helper tool version: 78"));
}

TEST_F(InstallerTest, TheSameVersionInstalledForAnotherUserGetsThisUserInOneAuthorizedStep) {
    environment.serviceManager->installedProgram = helperOfVersion("78");
    environment.serviceManager->allowedUsers = {::getuid() + 1000};
    DomainError error;
    EXPECT_TRUE(install(error));
    EXPECT_EQ(environment.serviceManager->steps, Texts{"allow com.corvantis.CorvantisHelper"});
    EXPECT_TRUE(environment.serviceManager->allowedUsers.contains(::getuid()));

    environment.serviceManager->steps.clear();
    environment.serviceManager->allowedUsers = {::getuid() + 1000};
    environment.serviceManager->blessFailure = DomainError{"NSOSStatusErrorDomain", -60006, "The password prompt was dismissed"};
    EXPECT_FALSE(install(error));
    EXPECT_EQ(environment.serviceManager->steps, Texts{"allow com.corvantis.CorvantisHelper"});
    EXPECT_EQ(error.code, 11);
    EXPECT_EQ(error.localizedFailureReason, "The password prompt was dismissed");
}

TEST_F(InstallerTest, AnotherVersionIsReplacedInOneAuthorizedStep) {
    for (const char* version : {"77", "79"}) {
        environment.serviceManager->steps.clear();
        environment.serviceManager->installedProgram = helperOfVersion(version);
        DomainError error;
        EXPECT_TRUE(install(error)) << version;
        EXPECT_EQ(environment.serviceManager->steps, Texts{"replace com.corvantis.CorvantisHelper"}) << version;
    }
}

TEST_F(InstallerTest, AFailingRemovalReportsCodeTen) {
    environment.serviceManager->installedProgram = helperOfVersion("77");
    environment.serviceManager->removeFailure = DomainError{"kSMErrorDomainFramework", 2, "The job could not be removed"};
    DomainError error;
    EXPECT_FALSE(install(error));
    EXPECT_EQ(environment.serviceManager->steps, Texts{"replace com.corvantis.CorvantisHelper"});
    EXPECT_EQ(error, (DomainError{"NSOSStatusErrorDomain", 10, "Helper tool removing failed", "The job could not be removed",
                                  "Try to relaunch the app or contact the administrator"}));
}

TEST_F(InstallerTest, AFreshSystemGetsABlessAndAFailedBlessReportsCodeEleven) {
    DomainError error;
    EXPECT_TRUE(install(error));
    EXPECT_EQ(environment.serviceManager->steps, Texts{"bless com.corvantis.CorvantisHelper"});

    environment.serviceManager->installedProgram.reset();
    environment.serviceManager->steps.clear();
    environment.serviceManager->blessFailure = DomainError{"NSOSStatusErrorDomain", -60006, "Cancelled"};
    EXPECT_FALSE(install(error));
    EXPECT_EQ(environment.serviceManager->steps, Texts{"bless com.corvantis.CorvantisHelper"});
    EXPECT_EQ(error.code, 11);
    EXPECT_EQ(error.localizedDescription, "Helper tool installing failed");
    EXPECT_EQ(error.localizedFailureReason, "Cancelled");
}

}  // namespace
