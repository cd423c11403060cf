// The L2TP request against the network-preferences model, the root-only system keychain and a
// scripted L2TP client, with the virtual clock standing in for the start delay and the polls.

#include "platform/foundation/PrivateJsonFile.hpp"
#include "platform/network/NetworkKeys.hpp"
#include "platform/security/KeychainFile.hpp"
#include "support/HelperFixture.hpp"
#include "support/ScriptedConnectionDriver.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

using corvantis::helper::L2TPService;
using corvantis::helper::VPNKeychain;
using corvantis::testing::HelperFixture;
using corvantis::testing::ScriptedConnectionDriver;
using corvantis::testing::VirtualTime;
using platform::network::ConnectionStatus;
using platform::network::NetworkStep;
using platform::security::KeychainStep;
using namespace std::chrono_literals;

namespace {

using Codes = std::vector<int>;

struct L2TPFixture : HelperFixture {
    std::shared_ptr<ScriptedConnectionDriver> driver;
    std::unique_ptr<VirtualTime> time;

    explicit L2TPFixture(std::deque<ConnectionStatus> statuses = {ConnectionStatus::connecting, ConnectionStatus::connecting,
                                                                  ConnectionStatus::connected})
        : driver(std::make_shared<ScriptedConnectionDriver>(std::move(statuses))) {
        l2tpDriver = driver;
        rebuild();
        platform::Services services;
        services.processLauncherOverride = launcher;
        time = std::make_unique<VirtualTime>(services);
    }
    ~L2TPFixture() {
        // The helper goes before the clock that still holds its pending work.
        helper.reset();
    }

    // Sends the request; the codes answered before the start delay has passed.
    std::shared_ptr<Codes> request(const std::string& user = "alice", const std::string& password = "pass word") {
        auto codes = std::make_shared<Codes>();
        helper->connectToL2TPServerWithAddress("vpn.example.com", user, password, "velmortan",
                                               [codes](int code) { codes->push_back(code); });
        return codes;
    }
    // Lets the start delay and every status poll pass.
    void settle() { time->advance(3s + 10 * 250ms); }

    nlohmann::json preferences() const {
        return platform::foundation::PrivateJsonFile(configuration.networkPreferences).read().value().value_or(nullptr);
    }
    nlohmann::json keychainItems() const {
        return platform::security::KeychainFile(configuration.systemKeychain).readItems().value();
    }
    std::string onlyServiceID() const {
        const auto services = preferences()["services"];
        return services.size() == 1 ? services.begin().key() : "<" + std::to_string(services.size()) + " services>";
    }
};

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(L2TPService, TheFirstRequestMakesTheServiceWithItsSecretsAndConnects) {
    using namespace platform::network;
    L2TPFixture fixture;
    const auto codes = fixture.request();
    EXPECT_TRUE(codes->empty());
    fixture.time->advance(3s);
    EXPECT_TRUE(codes->empty());
    EXPECT_EQ(fixture.driver->reads(), 2);
    fixture.time->advance(250ms);
    EXPECT_EQ(*codes, (Codes{-1, 0}));

    const auto id = fixture.onlyServiceID();
    const auto stored = fixture.preferences();
    const auto service = stored["services"][id];
    EXPECT_EQ(service["name"], "Corvantis L2TP");
    EXPECT_EQ(service["interface"], nlohmann::json({"IPv4", "L2TP", "PPP"}));
    EXPECT_EQ(service["interfaceConfiguration"], nlohmann::json({{kSCPropNetPPPCommRemoteAddress, "vpn.example.com"},
                                                                 {kSCPropNetPPPAuthName, "alice"},
                                                                 {kSCPropNetPPPAuthPassword, id},
                                                                 {kSCPropNetPPPAuthPasswordEncryption, "Keychain"}}));
    EXPECT_EQ(service["extendedConfiguration"]["IPSec"], nlohmann::json({{kSCPropNetIPSecAuthenticationMethod, "SharedSecret"},
                                                                         {kSCPropNetIPSecSharedSecretEncryption, "Keychain"},
                                                                         {kSCPropNetIPSecSharedSecret, id + ".SS"}}));
    EXPECT_EQ(service["protocols"]["IPv4"], nlohmann::json({{"ConfigMethod", "PPP"}, {"OverridePrimary", 1}}));
    EXPECT_EQ(stored["sets"][stored["currentSet"].get<std::string>()]["services"], nlohmann::json({id}));
    EXPECT_EQ(stored["applied"]["services"][id], service);
    EXPECT_EQ(modeOf(fixture.configuration.networkPreferences), 0600u);

    const auto starts = fixture.driver->starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].serviceID, id);
    EXPECT_EQ(starts[0].options, nlohmann::json({{"PPP",
                                                  {{kSCPropNetPPPAuthName, "alice"},
                                                   {kSCPropNetPPPAuthPassword, "pass word"},
                                                   {kSCPropNetPPPCommRemoteAddress, "vpn.example.com"}}}}));

    const auto items = fixture.keychainItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]["label"], "Corvantis L2TP");
    EXPECT_EQ(items[0]["service"], id);
    EXPECT_EQ(items[0]["account"], "alice");
    EXPECT_EQ(items[0]["description"], "PPP Password");
    EXPECT_EQ(items[0]["data"], "pass word");
    EXPECT_EQ(items[1]["service"], id + ".SS");
    EXPECT_EQ(items[1]["account"], "");
    EXPECT_EQ(items[1]["description"], "IPSec Shared Secret");
    EXPECT_EQ(items[1]["data"], "velmortan");
    EXPECT_EQ(items[1]["access"]["description"], "Corvantis Keychain");
    EXPECT_EQ(modeOf(fixture.configuration.systemKeychain), 0600u);
    EXPECT_EQ(modeOf(fixture.configuration.systemKeychain.parent_path()), 0700u);
}

TEST(L2TPService, ALaterRequestReusesTheServiceAndRewritesItsConfiguration) {
    L2TPFixture fixture;
    fixture.request();
    fixture.settle();
    const auto id = fixture.onlyServiceID();
    const auto codes = fixture.request("bob", "other");
    fixture.settle();
    EXPECT_EQ(*codes, (Codes{-1, 0}));
    EXPECT_EQ(fixture.onlyServiceID(), id);
    EXPECT_EQ(fixture.preferences()["services"][id]["interfaceConfiguration"]["AuthName"], "bob");
    EXPECT_EQ(fixture.keychainItems().size(), 2u);
    EXPECT_EQ(fixture.driver->starts().back().options["PPP"]["AuthPassword"], "other");
}

TEST(L2TPService, TheIpv4OverrideTakesTheServicesPrimaryRouteAndNothingElse) {
    L2TPFixture fixture;
    auto keychain = std::make_shared<VPNKeychain>(fixture.configuration.systemKeychain, fixture.log);
    auto service = std::make_shared<L2TPService>(
        L2TPService::Platform{fixture.configuration.networkPreferences, fixture.driver, nullptr}, keychain, fixture.log);
    EXPECT_FALSE(service->setIPv4("none yet"));
    service->connectToL2TPServerWithAddress("vpn.example.com", "alice", "pass", "velmortan", [](int) {});
    const auto id = fixture.onlyServiceID();
    EXPECT_TRUE(service->setIPv4(id));
    EXPECT_EQ(fixture.preferences()["services"][id]["protocols"]["IPv4"], (nlohmann::json{{"OverridePrimary", 1}}));
    EXPECT_FALSE(service->setIPv4("no such service"));
    fixture.settle();
}

TEST(L2TPService, EachFailingStepAnswersItsCodeAndTheRequestGoesOn) {
    struct Case {
        const char* what;
        std::function<void(L2TPFixture&)> arrange;
        Codes expected;
    };
    const auto network = [](NetworkStep step, int code = 0) {
        return [step, code](L2TPFixture& f) { f.networkFaults->fail(step, code); };
    };
    const auto keychain = [](KeychainStep step) { return [step](L2TPFixture& f) { f.keychainFaults->fail(step); }; };
    const std::vector<Case> cases{
        {"no preferences", network(NetworkStep::createPreferences), {101, 0}},
        {"PPP configuration", network(NetworkStep::setInterfaceConfiguration), {103, -1, 0}},
        {"IPsec configuration", network(NetworkStep::setExtendedConfiguration), {104, -1, 0}},
        {"default configuration, which leaves no IPv4 protocol",
         network(NetworkStep::establishDefaultConfiguration),
         {201, 205, -1, 0}},
        {"no current set", network(NetworkStep::copyCurrentSet), {202, -1, 0}},
        {"the set holds the service", network(NetworkStep::addServiceToSet, platform::network::kSCStatusKeyExists), {203, -1, 0}},
        {"adding to the set", network(NetworkStep::addServiceToSet), {204, -1, 0}},
        {"no IPv4 protocol", network(NetworkStep::copyProtocol), {205, -1, 0}},
        {"IPv4 configuration", network(NetworkStep::setProtocolConfiguration), {206, -1, 0}},
        {"commit, so nothing to apply or start", network(NetworkStep::commitChanges), {207, 208, 104, 0}},
        {"apply, so nothing to start", network(NetworkStep::applyChanges), {208, 104, 0}},
        {"start", network(NetworkStep::startConnection), {104, 0}},
        {"no system keychain", keychain(KeychainStep::copyDomainDefault), {301, 302, -1, 0}},
        {"keychain locked", keychain(KeychainStep::unlock), {301, 302, -1, 0}},
        {"no access object", keychain(KeychainStep::createAccess), {301, 302, -1, 0}},
        {"no item", keychain(KeychainStep::createItem), {301, 302, -1, 0}},
        {"a keychain file others may read",
         [](L2TPFixture& f) { f.write(f.configuration.systemKeychain, R"({"version": 1, "items": []})", 0644); },
         {301, 302, -1, 0}},
    };
    for (const auto& testCase : cases) {
        L2TPFixture fixture;
        testCase.arrange(fixture);
        const auto codes = fixture.request();
        fixture.settle();
        EXPECT_EQ(*codes, testCase.expected) << testCase.what;
    }
}

TEST(L2TPService, AServerThatRefusesOrNeverAnswersGives105) {
    L2TPFixture refusing({ConnectionStatus::connecting, ConnectionStatus::disconnected});
    const auto refused = refusing.request();
    refusing.settle();
    EXPECT_EQ(*refused, (Codes{105, 0}));

    L2TPFixture silent({ConnectionStatus::connecting});
    const auto unanswered = silent.request();
    silent.settle();
    EXPECT_TRUE(unanswered->empty());
    silent.time->advance(std::chrono::minutes(2));
    EXPECT_EQ(*unanswered, (Codes{105, 0}));
}

TEST(L2TPService, OnAnExistingServiceAFailedPppConfigurationSkipsTheRest) {
    L2TPFixture fixture;
    fixture.request();
    fixture.settle();
    fixture.networkFaults->fail(NetworkStep::setInterfaceConfiguration);
    fixture.networkFaults->fail(NetworkStep::commitChanges);
    const auto codes = fixture.request();
    fixture.settle();
    EXPECT_EQ(*codes, (Codes{103, -1, 0}));
}

TEST(L2TPService, WithoutAnL2tpClientOnThisSystemTheStartFails) {
    HelperFixture fixture;
    platform::Services services;
    services.processLauncherOverride = fixture.launcher;
    VirtualTime time(services);
    auto codes = std::make_shared<Codes>();
    fixture.helper->connectToL2TPServerWithAddress("vpn.example.com", "alice", "pw", "velmortan",
                                                   [codes](int code) { codes->push_back(code); });
    time.advance(3s);
    EXPECT_EQ(*codes, (Codes{104, 0}));
    EXPECT_TRUE(fixture.log->mentions("Connection error: This system has no L2TP/IPsec client"));
    EXPECT_FALSE(fixture.helper->connect());
    fixture.helper.reset();
}

TEST(L2TPService, DisconnectStopsAndRemovesTheServiceAndConnectStartsItAgain) {
    L2TPFixture fixture;
    fixture.request();
    fixture.settle();
    const auto id = fixture.onlyServiceID();

    EXPECT_TRUE(fixture.helper->connect());
    EXPECT_EQ(fixture.driver->starts().size(), 2u);
    EXPECT_EQ(fixture.driver->starts().back().options["PPP"]["AuthName"], "alice");
    EXPECT_TRUE(fixture.log->mentions("------------------------------Connected"));

    fixture.helper->disconnect();
    EXPECT_EQ(fixture.driver->stops(), std::vector<std::string>{id});
    const auto stored = fixture.preferences();
    EXPECT_TRUE(stored["services"].empty());
    EXPECT_TRUE(stored["applied"]["services"].empty());
    EXPECT_TRUE(stored["sets"][stored["currentSet"].get<std::string>()]["services"].empty());
    EXPECT_FALSE(fixture.log->mentions("Error removing L2TP entry"));

    // The next request makes the service again, with a new identifier and new secrets.
    const auto codes = fixture.request();
    fixture.settle();
    EXPECT_EQ(*codes, (Codes{-1, 0}));
    EXPECT_NE(fixture.onlyServiceID(), id);
    EXPECT_EQ(fixture.keychainItems().size(), 4u);
}

TEST(L2TPService, TheHelpersOwnStopEndsAStartedServiceAndIsQuietWithoutOne) {
    HelperFixture untouched;
    EXPECT_TRUE(untouched.helper->endTunnels(0ms));
    EXPECT_FALSE(untouched.log->mentions("Disconnecting L2TP"));

    L2TPFixture fixture;
    fixture.request();
    fixture.settle();
    const auto id = fixture.onlyServiceID();
    EXPECT_TRUE(fixture.helper->endTunnels(0ms));
    EXPECT_EQ(fixture.driver->stops(), std::vector<std::string>{id});
    EXPECT_TRUE(fixture.preferences()["services"].empty());
}

}  // namespace
