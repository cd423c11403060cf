#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/Keychain.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/ApiServiceTestAccess.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/UserTexts.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::ApiService;
using corvantis::ApiServiceTestAccess;
using corvantis::UserSettings;
using corvantis::testbed::TestBackend;
using nlohmann::json;

namespace {

using corvantis::testing::texts::backendMaintenance;
using corvantis::testing::texts::checkInternet;
using corvantis::testing::texts::maintenance;

const std::string noVpn = "You have no active VPN subscriptions";
const std::string dnsOnly = "You don\u2019t have an active VPN subscription. Please follow this guide to upgrade.";
constexpr const char* profilePath = "/account/api2/me";
constexpr const char* vpnPasswordItem = "com.corvantis.password";

// What a profile load delivers, in its own order.
struct Loaded {
    bool success = false;
    bool isVpnActive = false;
    bool isDnsActive = false;
    bool isEmailConfirmed = false;
    std::string message;
    bool operator==(const Loaded&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Loaded& loaded) {
    return out << "(" << loaded.success << ", vpn " << loaded.isVpnActive << ", dns " << loaded.isDnsActive << ", email "
               << loaded.isEmailConfirmed << ", \"" << loaded.message << "\")";
}

// A profile the parser takes all the way: two cities, the VPN category, product 9 subscribed.
json goodProfile() {
    return {
        {"data",
         {{"freeradius_pass", "vpn-from-reply"},
          {"email_confirmed", "1"},
          {"vpn_servers",
           {{{"serverstatus", "1"}, {"country", "DE"}, {"city", "Berlin"}, {"name", "de-ber.test"}, {"address", "198.51.100.11"}},
            {{"serverstatus", "1"},
             {"country", "FR"},
             {"city", "Paris"},
             {"name", "fr-par.test"},
             {"address", "198.51.100.20"}}}},
          {"subscriptions", {{"9", "2027-01-15"}}},
          {"categories", {{"2", "VPN"}}}}}};
}

json changed(const std::function<void(json& data)>& change) {
    auto profile = goodProfile();
    change(profile["data"]);
    return profile;
}

class ProfileLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        corvantis::AppDelegate::setShared(delegate);
        deviceId = backend->registerDevice();
        UserSettings::setDeviceId(deviceId);
        token = grantedToken();
    }

    // A real password grant, so that the backend knows the token.
    std::string grantedToken() {
        bool done = false;
        ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                                   [&](bool, bool, bool, bool, const std::string&) { done = true; });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return done; }));
        backend->clearRequests();
        return ApiService::token.value_or("");
    }

    Loaded load() {
        Loaded loaded;
        int calls = 0;
        ApiServiceTestAccess::getUserData(token, [&](bool success, bool vpn, bool dns, bool email, const std::string& message) {
            loaded = {success, vpn, dns, email, message};
            ++calls;
        });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return calls > 0; }));
        environment.runMainQueue();
        EXPECT_EQ(calls, 1);
        return loaded;
    }

    // Forgets what an earlier load stored, so that each case shows what its own load did.
    void forgetStoredValues() {
        corvantis::Keychain::setPassword("", vpnPasswordItem);
        UserSettings::setVpnPassword(std::nullopt);
        UserSettings::setPlan("Plan of an earlier account");
        delegate->allCities.reset();
        environment.reporter->setUser(std::nullopt);
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    std::string deviceId;
    std::string token;
};

TEST_F(ProfileLoadTest, EveryWayALoadCanEndWithWhatItLeavesBehind) {
    struct Case {
        std::string name;
        TestBackend::CannedReply profileReply;
        Loaded expected;
        bool vpnPasswordStored;
        std::optional<std::size_t> rebuiltCities;  // none: the city list was not touched
        std::optional<std::string> plan;
    };
    const auto reply = [](const json& body) { return TestBackend::CannedReply{200, "application/json", body.dump()}; };
    const std::vector<Case> cases{
        {"profile request fails",
         {503, "application/json", json{{"status", "maintenance"}, {"message", backendMaintenance}}.dump()},
         {false, false, false, false, backendMaintenance},
         false,
         std::nullopt,
         std::nullopt},
        {"no data", reply({{"result", "ok"}}), {false, false, false, false, maintenance}, false, std::nullopt, std::nullopt},
        {"data not an object",
         reply({{"data", json::array({1})}}),
         {false, false, false, false, maintenance},
         false,
         std::nullopt,
         std::nullopt},
        {"VPN password not a text",
         reply(changed([](json& data) { data["freeradius_pass"] = 1234; })),
         {false, false, false, false, maintenance},
         false,
         std::nullopt,
         std::nullopt},
        {"e-mail confirmation missing",
         reply(changed([](json& data) { data.erase("email_confirmed"); })),
         {false, false, false, false, maintenance},
         true,
         std::nullopt,
         std::nullopt},
        {"e-mail confirmation a number",
         reply(changed([](json& data) { data["email_confirmed"] = 1; })),
         {false, false, false, false, maintenance},
         true,
         std::nullopt,
         std::nullopt},
        {"e-mail not confirmed",
         reply(changed([](json& data) { data["email_confirmed"] = "0"; })),
         {true, false, false, false, checkInternet},
         true,
         std::nullopt,
         std::nullopt},
        {"e-mail confirmation not a number",
         reply(changed([](json& data) { data["email_confirmed"] = "yes"; })),
         {true, false, false, false, checkInternet},
         true,
         std::nullopt,
         std::nullopt},
        {"no server list",
         reply(changed([](json& data) { data.erase("vpn_servers"); })),
         {false, false, false, true, checkInternet},
         true,
         std::nullopt,
         std::nullopt},
        {"server list not an array",
         reply(changed([](json& data) {
             data["vpn_servers"] = {{"DE", "x"}};
         })),
         {false, false, false, true, checkInternet},
         true,
         std::nullopt,
         std::nullopt},
        {"empty server list",
         reply(changed([](json& data) { data["vpn_servers"] = json::array(); })),
         {false, false, false, true, checkInternet},
         true,
         0,
         std::nullopt},
        {"every server switched off",
         reply(changed([](json& data) {
             for (auto& server : data["vpn_servers"]) server["serverstatus"] = "0";
         })),
         {false, false, false, true, checkInternet},
         true,
         0,
         std::nullopt},
        {"no subscriptions",
         reply(changed([](json& data) { data.erase("subscriptions"); })),
         {true, true, false, true, maintenance},
         true,
         2,
         std::nullopt},
        {"subscriptions an empty array",
         reply(changed([](json& data) { data["subscriptions"] = json::array(); })),
         {true, false, false, true, noVpn},
         true,
         2,
         std::nullopt},
        {"subscriptions null",
         reply(changed([](json& data) { data["subscriptions"] = nullptr; })),
         {true, false, false, true, noVpn},
         true,
         2,
         std::nullopt},
        {"no categories",
         reply(changed([](json& data) { data.erase("categories"); })),
         {true, true, false, true, maintenance},
         true,
         2,
         std::nullopt},
        {"categories an array",
         reply(changed([](json& data) { data["categories"] = json::array({"2"}); })),
         {true, true, false, true, maintenance},
         true,
         2,
         std::nullopt},
        {"VPN category", reply(goodProfile()), {true, true, false, true, ""}, true, 2, "Yearly"},
        {"VPN and DNS categories",
         reply(changed([](json& data) { data["categories"]["1"] = "DNS"; })),
         {true, true, false, true, ""},
         true,
         2,
         "Yearly"},
        {"VPN category without subscriptions",
         reply(changed([](json& data) { data["subscriptions"] = json::object(); })),
         {true, true, false, true, ""},
         true,
         2,
         std::nullopt},
        {"DNS category only",
         reply(changed([](json& data) {
             data["categories"] = {{"1", "DNS"}};
         })),
         {true, false, true, true, dnsOnly},
         true,
         2,
         std::nullopt},
        {"neither category",
         reply(changed([](json& data) {
             data["categories"] = {{"3", "Mail"}};
         })),
         {true, false, false, true, noVpn},
         true,
         2,
         std::nullopt},
    };

    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        forgetStoredValues();
        backend->enqueueReply(profilePath, testCase.profileReply);
        EXPECT_EQ(load(), testCase.expected);

        const auto storedPassword = corvantis::Keychain::passwordStringForVPNID(vpnPasswordItem);
        EXPECT_EQ(storedPassword, testCase.vpnPasswordStored ? std::optional<std::string>("vpn-from-reply") : std::nullopt);
        EXPECT_EQ(UserSettings::vpnPassword().has_value(), testCase.vpnPasswordStored);
        ASSERT_EQ(delegate->allCities.has_value(), testCase.rebuiltCities.has_value());
        if (testCase.rebuiltCities) {
            EXPECT_EQ(delegate->allCities->size(), *testCase.rebuiltCities);
        }
        EXPECT_EQ(UserSettings::plan(), testCase.plan);

        const auto user = environment.reportScope().user();
        EXPECT_EQ(user.has_value(),
                  testCase.expected.success && testCase.expected.isVpnActive && testCase.expected.message.empty());
    }
}

TEST_F(ProfileLoadTest, ASuccessfulLoadMakesTheDeviceTheReportedUserWithItsPlan) {
    EXPECT_EQ(load(), (Loaded{true, true, false, true, ""}));
    const auto user = environment.reportScope().user();
    ASSERT_TRUE(user);
    EXPECT_EQ(user->userId, deviceId);
    EXPECT_EQ(user->data, (json{{"subscriptionType", "Yearly"}}));

    backend->enqueueReply(profilePath,
                          {200, "application/json", changed([](json& data) { data["subscriptions"] = json::object(); }).dump()});
    load();
    EXPECT_EQ(environment.reportScope().user()->data, (json{{"subscriptionType", nullptr}}));
}

TEST_F(ProfileLoadTest, AFailedDeviceCheckPassesItsMessageOnUnchangedAndSendsNothingMore) {
    backend->enqueueReply("/account/oauth/token",
                          {503, "application/json", json{{"status", "maintenance"}, {"message", backendMaintenance}}.dump()});
    EXPECT_EQ(load(), (Loaded{false, false, false, false, backendMaintenance}));
    EXPECT_EQ(backend->requests().size(), 1u);
}

TEST_F(ProfileLoadTest, AFailedProductListReachesTheLoginAsTheConnectionProblemText) {
    for (const auto& products :
         {TestBackend::CannedReply{503, "application/json",
                                   json{{"status", "maintenance"}, {"message", backendMaintenance}}.dump()},
          TestBackend::CannedReply{200, "application/json", R"({"data":"none"})"},
          TestBackend::CannedReply{200, "application/json", R"({"data":[{"product_id":7},3]})"}}) {
        backend->enqueueReply("/account/api2/available-products", products);
        EXPECT_EQ(load(), (Loaded{false, false, false, false, checkInternet})) << products.body;
    }
    for (const auto& request : backend->requests()) EXPECT_NE(request.path, profilePath);
}

TEST_F(ProfileLoadTest, TheProfileRequestCarriesTokenDeviceAndNoCaching) {
    load();
    const auto requests = backend->requests();
    ASSERT_FALSE(requests.empty());
    const auto& profile = requests.back();
    EXPECT_EQ(profile.method, "GET");
    EXPECT_EQ(profile.target, profilePath);
    EXPECT_EQ(profile.header("Authorization"), "Bearer " + token);
    EXPECT_EQ(profile.header("cache-control"), "no-cache");
    EXPECT_EQ(profile.header("AMEMBER-DEVICE-ID"), deviceId);
    EXPECT_EQ(profile.body, "");
}

TEST_F(ProfileLoadTest, ALaterLoadWithoutAPlanDoesNotShowTheEarlierAccountsPlan) {
    load();
    EXPECT_EQ(UserSettings::plan(), "Yearly");
    backend->enqueueReply(profilePath,
                          {200, "application/json", changed([](json& data) { data["subscriptions"] = json::object(); }).dump()});
    EXPECT_EQ(load(), (Loaded{true, true, false, true, ""}));
    EXPECT_FALSE(UserSettings::plan());
}

}  // namespace
