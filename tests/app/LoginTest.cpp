#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/UserTexts.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

using corvantis::ApiService;
using corvantis::UserSettings;
using corvantis::testbed::FormBody::value;
using nlohmann::json;

namespace {

using corvantis::testing::texts::checkInternet;
using corvantis::testing::texts::maintenance;

// What the login screen receives, in the login's order.
struct LoginResult {
    bool success = false;
    bool isEmailConfirmed = false;
    bool isVpnActive = false;
    bool isDnsActive = false;
    std::string message;
    bool operator==(const LoginResult&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LoginResult& result) {
    return out << "(" << result.success << ", email " << result.isEmailConfirmed << ", vpn " << result.isVpnActive << ", dns "
               << result.isDnsActive << ", \"" << result.message << "\")";
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override { corvantis::AppDelegate::setShared(delegate); }

    LoginResult login(const std::string& username, const std::string& password) {
        LoginResult result;
        int calls = 0;
        ApiService::checkLoginData(username, password,
                                   [&](bool success, bool email, bool vpn, bool dns, const std::string& message) {
                                       result = {success, email, vpn, dns, message};
                                       ++calls;
                                   });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return calls > 0; }));
        environment.runMainQueue();
        EXPECT_EQ(calls, 1);
        return result;
    }

    // Each request the backend received, named by what it was for.
    std::vector<std::string> requestLog() const {
        std::vector<std::string> log;
        for (const auto& request : backend->requests()) {
            if (request.path == "/account/oauth/token") log.push_back(value(request.form, "grant_type").value_or("?") + " grant");
            if (request.path == "/account/oauth/register-device") log.push_back("device registration");
            if (request.path == "/account/api2/available-products") log.push_back("product list");
            if (request.path == "/account/api2/me") log.push_back("profile");
        }
        return log;
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
};

TEST_F(LoginTest, WithAStoredDeviceIdALoginSendsFiveRequestsInOrder) {
    const auto deviceId = backend->registerDevice();
    UserSettings::setDeviceId(deviceId);
    EXPECT_EQ(login("demo@corvantis.test", "demo-password"), (LoginResult{true, true, true, false, ""}));
    EXPECT_EQ(requestLog(), (std::vector<std::string>{"password grant", "amember_device grant", "amember_device grant",
                                                      "product list", "profile"}));
    const auto requests = backend->requests();
    EXPECT_EQ(value(requests[1].form, "amember_device_id"), deviceId);
    EXPECT_EQ(value(requests[2].form, "amember_device_id"), deviceId);
    EXPECT_EQ(requests[3].target, "/account/api2/available-products?categories=2");
    EXPECT_EQ(requests[3].header("AMEMBER-DEVICE-ID"), deviceId);
    EXPECT_EQ(requests[4].header("AMEMBER-DEVICE-ID"), deviceId);
}

TEST_F(LoginTest, AFirstLoginRegistersTheComputerAndStoresItsIdBeforeValidatingIt) {
    EXPECT_EQ(login("demo@corvantis.test", "demo-password"), (LoginResult{true, true, true, false, ""}));
    EXPECT_EQ(requestLog(), (std::vector<std::string>{"password grant", "device registration", "amember_device grant",
                                                      "product list", "profile"}));
    const auto stored = environment.defaults->string("deviceId");
    ASSERT_TRUE(stored);
    EXPECT_TRUE(backend->knowsDevice(*stored));
    EXPECT_EQ(value(backend->requests()[2].form, "amember_device_id"), stored);
}

TEST_F(LoginTest, TheGrantSendsTheCredentialsAsAMultipartFormWithTheClientAndScope) {
    login("demo@corvantis.test", "demo-password");
    const auto grant = backend->requests().front();
    EXPECT_EQ(grant.method, "POST");
    EXPECT_EQ(grant.header("cache-control"), "no-cache");
    EXPECT_EQ(grant.form, (corvantis::testbed::FormFields{
                              {"client_id", ApiService::clientId},
                              {"grant_type", "password"},
                              {"username", "demo@corvantis.test"},
                              {"password", "demo-password"},
                              {"scope", "me.fullprofile me.subscriptions me.servers available-products servers-config"}}));
}

TEST_F(LoginTest, ASuccessfulLoginStoresTheCredentialsTokenPlanAndCities) {
    login("demo@corvantis.test", "demo-password");
    EXPECT_EQ(UserSettings::username(), "demo@corvantis.test");
    EXPECT_EQ(UserSettings::password(), "demo-password");
    EXPECT_EQ(UserSettings::email(), "demo@corvantis.test");
    EXPECT_EQ(ApiService::password, "demo-password");
    EXPECT_TRUE(ApiService::token && ApiService::token->starts_with("token-"));
    EXPECT_EQ(UserSettings::plan(), "Yearly");
    EXPECT_EQ(UserSettings::vpnPassword(), "vpn-demo-secret");
    ASSERT_TRUE(delegate->allCities);
    EXPECT_EQ(delegate->allCities->size(), 4u);
}

TEST_F(LoginTest, WrongCredentialsKeepTheLastGoodOnesExceptTheUserName) {
    login("demo@corvantis.test", "demo-password");
    const auto goodToken = ApiService::token;

    EXPECT_EQ(login("other@corvantis.test", "wrong"),
              (LoginResult{false, false, false, false, "Login failed: invalid username or password"}));
    EXPECT_EQ(UserSettings::username(), "other@corvantis.test");
    EXPECT_EQ(ApiService::password, "wrong");
    EXPECT_EQ(UserSettings::password(), "demo-password");
    EXPECT_EQ(UserSettings::email(), "demo@corvantis.test");
    EXPECT_EQ(ApiService::token, goodToken);
}

TEST_F(LoginTest, AGrantWithoutATextTokenIsTheMaintenanceTextAndStoresOnlyTheUserName) {
    for (const std::string body : {R"({"token_type":"Bearer"})", R"({"access_token":42})"}) {
        backend->enqueueReply("/account/oauth/token", {200, "application/json", body});
        EXPECT_EQ(login("demo@corvantis.test", "demo-password"), (LoginResult{false, false, false, false, maintenance})) << body;
        EXPECT_EQ(UserSettings::username(), "demo@corvantis.test");
        EXPECT_EQ(UserSettings::password(), "");
        EXPECT_FALSE(UserSettings::email());
        EXPECT_FALSE(ApiService::token);
        EXPECT_EQ(ApiService::password, "demo-password");
    }
}

TEST_F(LoginTest, ABrokenProductListFailsTheLoginWithTheConnectionProblemText) {
    backend->enqueueReply("/account/api2/available-products", {200, "application/json", R"({"data":{"product_id":7}})"});
    EXPECT_EQ(login("demo@corvantis.test", "demo-password"), (LoginResult{false, false, false, false, checkInternet}));
    // The grant had succeeded: its values stay.
    EXPECT_EQ(UserSettings::password(), "demo-password");
}

TEST_F(LoginTest, TheProfilesFlagsReachTheLoginInItsOwnOrder) {
    backend->enqueueReply("/account/api2/me",
                          {200, "application/json",
                           json{{"data",
                                 {{"freeradius_pass", "p"},
                                  {"email_confirmed", "1"},
                                  {"vpn_servers", {{{"country", "DE"}, {"city", "Berlin"}, {"name", "de.test"}}}},
                                  {"subscriptions", json::object()},
                                  {"categories", {{"1", "DNS"}}}}}}
                               .dump()});
    const auto result = login("demo@corvantis.test", "demo-password");
    EXPECT_EQ(result, (LoginResult{true, true, false, true,
                                   "You don\u2019t have an active VPN subscription. Please follow this guide to upgrade."}));
}

TEST(LoginWithALargeCatalogue, TenThousandServersInTwoHundredCountriesBecomeTheSortedCityList) {
    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend(corvantis::testbed::BackendConfiguration::withCatalogue(10000, 200));
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    std::optional<bool> success;
    ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                               [&](bool succeeded, bool, bool, bool, const std::string&) { success = succeeded; });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return success.has_value(); }));
    EXPECT_TRUE(*success);
    ASSERT_TRUE(delegate->allCities);
    const auto& cities = *delegate->allCities;
    EXPECT_EQ(cities.size(), 10000u);
    std::set<std::string> countries;
    for (const auto& city : cities) countries.insert(city->countryCode.value_or(""));
    EXPECT_EQ(countries.size(), 200u);
    EXPECT_TRUE(std::ranges::is_sorted(cities, {}, [](const auto& city) { return *city->name; }));
}

}  // namespace
