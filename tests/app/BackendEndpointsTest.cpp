#include "app/ApiService.hpp"
#include "fixtures/ApiServiceTestAccess.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/Base64.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::ApiService;
using corvantis::ApiServiceTestAccess;
using nlohmann::json;

namespace {

struct Delivery {
    bool success = false;
    std::string message;
    json jsonData;
};

// Every endpoint of the service, reached through the client's own transport over libcurl, with
// the method, headers and body encoding the client uses for it.
class BackendEndpointsTest : public ::testing::Test {
protected:
    Delivery send(const std::string& path, ApiService::HttpMethod method, const ApiService::Headers& headers,
                  std::optional<ApiService::ContentType> contentType = std::nullopt,
                  const std::optional<ApiService::FormParameters>& params = std::nullopt) {
        std::optional<Delivery> delivery;
        ApiServiceTestAccess::callRequest(ApiService::apiUrl() + path, method, headers, contentType, params,
                                          [&](bool success, const std::string& message, const json& jsonData) {
                                              delivery = Delivery{success, message, jsonData};
                                          });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return delivery.has_value(); }));
        return delivery.value_or(Delivery{});
    }

    Delivery passwordGrant(const std::string& username, const std::string& password) {
        const ApiService::FormParameters params{
            {{"name", "client_id"}, {"value", ApiService::clientId}},
            {{"name", "grant_type"}, {"value", "password"}},
            {{"name", "username"}, {"value", username}},
            {{"name", "password"}, {"value", password}},
            {{"name", "scope"}, {"value", "me.fullprofile me.subscriptions me.servers available-products servers-config"}}};
        return send("account/oauth/token", ApiService::HttpMethod::POST, {{"cache-control", "no-cache"}},
                    ApiService::ContentType::formData, params);
    }

    // The headers of an authorised read: a token from a real password grant and a known device.
    ApiService::Headers authorised() {
        const auto grant = passwordGrant("demo@corvantis.test", "demo-password");
        return {{"Authorization", "Bearer " + grant.jsonData.value("access_token", "")},
                {"cache-control", "no-cache"},
                {"AMEMBER-DEVICE-ID", backend->registerDevice()}};
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
};

TEST_F(BackendEndpointsTest, PasswordGrant) {
    const auto granted = passwordGrant("demo@corvantis.test", "demo-password");
    EXPECT_TRUE(granted.success);
    EXPECT_TRUE(granted.jsonData["access_token"].is_string());

    const auto refused = passwordGrant("demo@corvantis.test", "wrong");
    EXPECT_FALSE(refused.success);
    EXPECT_EQ(refused.message, "Login failed: invalid username or password");
}

TEST_F(BackendEndpointsTest, Profile) {
    const auto profile = send("account/api2/me", ApiService::HttpMethod::GET, authorised());
    ASSERT_TRUE(profile.success) << profile.message;
    const auto& data = profile.jsonData["data"];
    EXPECT_EQ(data["freeradius_pass"], "vpn-demo-secret");
    EXPECT_EQ(data["email_confirmed"], "1");
    EXPECT_EQ(data["vpn_servers"].size(), 4u);
    EXPECT_TRUE(data["categories"].contains("2"));
}

TEST_F(BackendEndpointsTest, ProductList) {
    const auto products = send("account/api2/available-products?categories=2", ApiService::HttpMethod::GET, authorised());
    ASSERT_TRUE(products.success) << products.message;
    EXPECT_EQ(products.jsonData["data"][0]["product_id"], 7);
    EXPECT_EQ(backend->requests().back().target, "/account/api2/available-products?categories=2");
}

TEST_F(BackendEndpointsTest, OpenVpnConfigurations) {
    auto headers = authorised();
    headers.erase("cache-control");
    const auto configs = send("account/api2/servers/config", ApiService::HttpMethod::GET, headers);
    ASSERT_TRUE(configs.success) << configs.message;
    const auto tcp = platform::foundation::Base64::decode(configs.jsonData["data"]["tcp_server_config"].get<std::string>());
    EXPECT_EQ(tcp, corvantis::testbed::BackendConfiguration::demo().tcpConfig);
    EXPECT_FALSE(backend->requests().back().header("cache-control"));
}

TEST_F(BackendEndpointsTest, AnUnknownDeviceIsTurnedAwayFromAuthorisedReads) {
    auto headers = authorised();
    headers["AMEMBER-DEVICE-ID"] = "dev-unknown";
    const auto profile = send("account/api2/me", ApiService::HttpMethod::GET, headers);
    EXPECT_FALSE(profile.success);
    EXPECT_EQ(profile.message, "Unregistered device");
}

}  // namespace
