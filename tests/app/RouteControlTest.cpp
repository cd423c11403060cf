// The route control of the kill switch and the Shield: the exact root command lines, the
// breadcrumbs and log lines, and what happens without a gateway and once it is known.

#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "app/AppDelegate.hpp"
#include "app/OpenVPNConnection.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <gtest/gtest.h>

using corvantis::AppDelegate;
using corvantis::City;
using corvantis::helper::HelperSelector;
using corvantis::testing::RecordingDestination;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

constexpr const char* nameServerQuery = "scutil --dns | grep 'nameserver' | awk '{print $3}'";
constexpr const char* gatewayQuery = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";

class RouteControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        delegate->logger = prq::PRQLogger::make("routes", false);
        delegate->logger->add(log);
        auto chosen = std::make_shared<City>();
        chosen->domain = "nl-ams.corvantis.test";
        chosen->address = "203.0.113.7";
        delegate->allCities = std::vector{chosen};
        AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        corvantis::UserSettings::setHostname("nl-ams.corvantis.test");
        useResources(environment.folder / "Resources");
        log->clear();
    }

    // A bundle whose resources folder is `resources`, holding the guard's two files.
    void useResources(const std::filesystem::path& resources) {
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(resources));
        ASSERT_TRUE(
            platform::foundation::FileSystem::writeFileAtomically(resources / "com.corvantis.CorvantisGuard.plist", "", 0644));
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(resources / "corvantis_guard.sh", "", 0755));
        auto services = platform::Services::current();
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(environment.folder.path(), resources);
        bundle.reset();
        bundle = std::make_unique<platform::ScopedServices>(std::move(services));
    }

    Texts breadcrumbs() const {
        Texts found;
        const auto scope = environment.reportScope();
        for (const auto& crumb : scope.breadcrumbs()) found.push_back(crumb.category);
        return found;
    }

    Texts commands() const { return environment.helper->commands(); }

    void answer(const std::string& command, const std::optional<std::string>& text) {
        environment.helper->answerCommand(command, text);
        environment.runMainQueue();
    }

    corvantis::testing::AppTestEnvironment environment;
    std::unique_ptr<platform::ScopedServices> bundle;
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<RecordingDestination> log = std::make_shared<RecordingDestination>();
};

std::string engageLine(const std::string& resources, const std::string& gateway) {
    return "defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway " + gateway + " && cp \"" + resources +
           "/com.corvantis.CorvantisGuard.plist\" /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist && cp \"" +
           resources +
           "/corvantis_guard.sh\" /Library/LaunchDaemons/corvantis_guard.sh && launchctl load -w "
           "/Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist ; route -n delete default " +
           gateway;
}

TEST_F(RouteControlTest, EngagingWithoutAGatewayLeavesOnlyABreadcrumb) {
    bool completed = false;
    delegate->removeDefaultRoute([&](bool) { completed = true; });
    environment.time.advance(10s);
    EXPECT_EQ(breadcrumbs(), Texts{"removeDefaultRoute() gateway = nil"});
    EXPECT_TRUE(environment.helper->calls().empty());
    EXPECT_FALSE(completed);
    EXPECT_TRUE(log->logged().empty());
}

TEST_F(RouteControlTest, EngagingAddsTheHostRoutesInstallsTheGuardAndDeletesTheDefaultRoute) {
    delegate->gateway = "192.168.1.1";
    std::vector<bool> completions;
    delegate->removeDefaultRoute([&](bool done) { completions.push_back(done); });
    const auto resources = (environment.folder / "Resources").string();
    EXPECT_EQ(commands(),
              (Texts{"route -n add -net 203.0.113.7 192.168.1.1", nameServerQuery, engageLine(resources, "192.168.1.1")}));
    EXPECT_EQ(breadcrumbs(), (Texts{"removeDefaultRoute()", "addSavedServerToRoute() 203.0.113.7"}));
    EXPECT_EQ(log->logged(), (Texts{"removeDefaultRoute(completion:): removeDefaultRoute",
                                    "addSavedServerToRoute(completion:): addSavedServerToRoute 203.0.113.7"}));
    EXPECT_TRUE(completions.empty());
    answer(engageLine(resources, "192.168.1.1"), "");
    EXPECT_EQ(completions, std::vector<bool>{true});
}

TEST_F(RouteControlTest, AnEngageAskedForBeforeTheGatewayIsKnownIsSentOnceTheLookupFindsItUnlessReleasedFirst) {
    std::vector<bool> completions;
    delegate->removeDefaultRoute([&](bool done) { completions.push_back(done); });
    delegate->getGateway();
    answer(gatewayQuery, "192.168.1.1\n");
    const auto engage = engageLine((environment.folder / "Resources").string(), "192.168.1.1");
    EXPECT_EQ(commands(), (Texts{gatewayQuery, "route -n add -net 203.0.113.7 192.168.1.1", nameServerQuery, engage}));
    answer(engage, "");
    EXPECT_EQ(completions, std::vector<bool>{true});

    environment.helper->clear();
    delegate->gateway.reset();
    ASSERT_TRUE(environment.defaults->removeObject("gateway"));
    delegate->removeDefaultRoute([&](bool done) { completions.push_back(done); });
    delegate->restoreDefaultRoute();
    environment.time.advance(2s);  // the release's own lookup
    answer(gatewayQuery, "192.168.1.1\n");
    EXPECT_EQ(commands(), Texts{gatewayQuery}) << "the release stands";
    EXPECT_EQ(completions.size(), 1u);
}

TEST_F(RouteControlTest, GuardPathsAreQuotedSafelyInsideTheirDoubleQuotes) {
    delegate->gateway = "192.168.1.1";
    const auto resources = environment.folder / "A \"b\" $HOME `id` \\ c";
    useResources(resources);
    delegate->removeDefaultRoute({});
    const auto escaped = environment.folder.path().string() + "/A \\\"b\\\" \\$HOME \\`id\\` \\\\ c";
    EXPECT_EQ(commands().back(), engageLine(escaped, "192.168.1.1"));
}

TEST_F(RouteControlTest, NameServersGetHostRoutesExceptTheGatewayTheAnyAddressAndALocalStub) {
    delegate->gateway = "192.168.1.1";
    std::vector<bool> completions;
    delegate->addSavedServerToRoute([&](bool done) { completions.push_back(done); });
    answer(nameServerQuery, "127.0.0.53\n192.168.1.1\n0.0.0.0\n\n8.8.8.8\nnot;an address\n");
    EXPECT_EQ(commands(),
              (Texts{"route -n add -net 203.0.113.7 192.168.1.1", nameServerQuery, "route -n add -net 8.8.8.8 192.168.1.1"}));
    EXPECT_EQ(completions, std::vector<bool>{true});
}

TEST_F(RouteControlTest, TheAddCompletionRunsAlsoWhenTheServerRouteCannotBeFormed) {
    const std::vector<std::tuple<const char*, std::optional<std::string>, std::string, Texts>> cases{
        // what, gateway, chosen host name, the name server's route
        {"no gateway", std::nullopt, "nl-ams.corvantis.test", {}},
        {"a gateway that is no IPv4 address", "192.168.1.1; reboot", "nl-ams.corvantis.test", {}},
        {"no matching city", "192.168.1.1", "xx-nowhere.test", {"route -n add -net 8.8.8.8 192.168.1.1"}},
    };
    for (const auto& [what, gateway, hostname, nameServerRoute] : cases) {
        environment.helper->clear();
        delegate->gateway = gateway;
        corvantis::UserSettings::setHostname(hostname);
        std::vector<bool> completions;
        delegate->addSavedServerToRoute([&](bool done) { completions.push_back(done); });
        EXPECT_EQ(commands(), Texts{nameServerQuery}) << what;
        answer(nameServerQuery, "8.8.8.8\n");
        auto expected = Texts{nameServerQuery};
        expected.insert(expected.end(), nameServerRoute.begin(), nameServerRoute.end());
        EXPECT_EQ(commands(), expected) << what;
        EXPECT_EQ(completions, std::vector<bool>{true}) << what;
    }
}

TEST_F(RouteControlTest, ReleasingWithAStoredGatewayTakesItOver) {
    ASSERT_TRUE(environment.defaults->set(std::string("192.168.1.1"), "gateway"));
    delegate->restoreDefaultRoute();
    EXPECT_EQ(commands(), Texts{"route -n add default 192.168.1.1"});
    EXPECT_EQ(delegate->gateway, "192.168.1.1");
    EXPECT_EQ(breadcrumbs(), (Texts{"restoreDefaultRoute()", "removeSavedServerFromRoute() gateway is nil",
                                    "restoreDefaultRoute() gateway = nil"}));
    EXPECT_EQ(log->logged(), Texts{"restoreDefaultRoute(): restoreDefaultRoute"});
}

TEST_F(RouteControlTest, ReleasingWithAKnownGatewayRemovesTheServerRouteFirst) {
    delegate->gateway = "192.168.1.1";
    delegate->restoreDefaultRoute();
    EXPECT_EQ(commands(), (Texts{"route -n delete 203.0.113.7 192.168.1.1", "route -n add default 192.168.1.1"}));
    EXPECT_EQ(breadcrumbs(), (Texts{"restoreDefaultRoute()", "removeSavedServerFromRoute() 203.0.113.7"}));
    EXPECT_EQ(log->logged(), (Texts{"restoreDefaultRoute(): restoreDefaultRoute",
                                    "removeSavedServerFromRoute(): removeSavedServerFromRoute 203.0.113.7"}));
}

TEST_F(RouteControlTest, ReleasingWithoutAnyGatewayChecksTheResolverAndLooksAgainTwoSecondsLater) {
    delegate->restoreDefaultRoute();
    EXPECT_EQ(environment.helper->selectors(), Texts{"restoreResolvConf"});
    EXPECT_TRUE(commands().empty());
    environment.time.advance(1999ms);
    EXPECT_TRUE(commands().empty());
    environment.time.advance(1ms);
    EXPECT_EQ(commands(), Texts{gatewayQuery});
}

TEST_F(RouteControlTest, AStoredGatewayThatIsNoAddressIsNeverSent) {
    ASSERT_TRUE(environment.defaults->set(std::string("192.168.1.1 && reboot"), "gateway"));
    delegate->restoreDefaultRoute();
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(environment.helper->selectors(), Texts{"restoreResolvConf"});
}

TEST_F(RouteControlTest, RemovingTheServerRouteNeedsAGatewayAndAMatchingCity) {
    delegate->removeSavedServerFromRoute();
    EXPECT_EQ(breadcrumbs(), Texts{"removeSavedServerFromRoute() gateway is nil"});
    delegate->gateway = "192.168.1.1";
    corvantis::UserSettings::setHostname("xx-nowhere.test");
    delegate->removeSavedServerFromRoute();
    EXPECT_TRUE(commands().empty());
    corvantis::UserSettings::setHostname("nl-ams.corvantis.test");
    delegate->removeSavedServerFromRoute();
    EXPECT_EQ(commands(), Texts{"route -n delete 203.0.113.7 192.168.1.1"});
}

TEST_F(RouteControlTest, TheHelperAcceptsEveryLineTheRouteControlAndTheOpenVpnSetUpSend) {
    // A resources folder whose path needs quoting, as an application folder with a blank does.
    const auto resources = environment.folder / "Corvantis VPN" / "Resources \"$x\"";
    useResources(resources);
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(resources / "down.sh", "exit 0\n", 0755));
    delegate->runDownScript();
    delegate->gateway = "192.168.1.1";
    delegate->removeDefaultRoute({});
    answer(nameServerQuery, "8.8.8.8\n");
    delegate->restoreDefaultRoute();
    delegate->getGateway();
    corvantis::OpenVPNConnection().initialize();
    // Nothing else is sent without a helper client on the delegate.
    delegate->helper = corvantis::HelperService::shared();
    corvantis::OpenVPNConnection().initialize();

    const corvantis::helper::AllowedCommandLines allowed(resources);
    const auto sent = commands();
    ASSERT_EQ(sent.size(), 12u);
    for (const auto& line : sent) {
        const auto match = allowed.match(line);
        EXPECT_TRUE(std::holds_alternative<corvantis::helper::RootCommand>(match))
            << line << ": " << std::get<corvantis::helper::CommandRefusal>(match).reason;
    }
}

}  // namespace
