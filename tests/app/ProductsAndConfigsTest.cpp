#include "app/ApiService.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/UserTexts.hpp"
#include "platform/foundation/Base64.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::ApiService;
using corvantis::UserSettings;
using corvantis::testbed::BackendConfiguration;
using nlohmann::json;

namespace {

using corvantis::testing::texts::backendMaintenance;
using corvantis::testing::texts::checkInternet;
using corvantis::testing::texts::maintenance;

constexpr const char* configPath = "/account/api2/servers/config";

struct Configs {
    bool success = false;
    std::string message;
    std::optional<std::string> tcp;
    std::optional<std::string> udp;
    int calls = 0;
};

class ProductsAndConfigsTest : public ::testing::Test {
protected:
    void SetUp() override {
        deviceId = backend->registerDevice();
        UserSettings::setDeviceId(deviceId);
        ApiService::token = grantedToken();
        backend->clearRequests();
    }

    std::string grantedToken() {
        bool done = false;
        ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                                   [&](bool, bool, bool, bool, const std::string&) { done = true; });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return done; }));
        return ApiService::token.value_or("");
    }

    // Starts the call; `answered` tells whether the result came before the call returned.
    Configs getConfigs(bool& answeredAtOnce) {
        auto configs = std::make_shared<Configs>();
        ApiService::getOpenVpnConfigs([configs](bool success, const std::string& message, const std::optional<std::string>& tcp,
                                                const std::optional<std::string>& udp) {
            *configs = {success, message, tcp, udp, configs->calls + 1};
        });
        answeredAtOnce = configs->calls > 0;
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return configs->calls > 0; }));
        environment.runMainQueue();
        EXPECT_EQ(configs->calls, 1);
        return *configs;
    }

    Configs getConfigs() {
        bool answeredAtOnce = false;
        return getConfigs(answeredAtOnce);
    }

    std::size_t requestsTo(const std::string& path) const {
        const auto requests = backend->requests();
        return static_cast<std::size_t>(std::ranges::count(requests, path, &corvantis::testbed::RecordedRequest::path));
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
    std::string deviceId;
};

TEST_F(ProductsAndConfigsTest, TheFirstFetchAsksTheBackendAndLaterOnesAnswerAtOnceFromTheCache) {
    testing::internal::CaptureStdout();
    bool answeredAtOnce = true;
    const auto first = getConfigs(answeredAtOnce);
    EXPECT_FALSE(answeredAtOnce);
    EXPECT_TRUE(first.success);
    EXPECT_EQ(first.message, "");
    EXPECT_EQ(platform::foundation::Base64::decode(first.tcp.value_or("")), BackendConfiguration::demo().tcpConfig);
    EXPECT_EQ(platform::foundation::Base64::decode(first.udp.value_or("")), BackendConfiguration::demo().udpConfig);
    EXPECT_EQ(requestsTo("/account/oauth/token"), 1u);
    EXPECT_EQ(requestsTo(configPath), 1u);
    const auto request = backend->requests().back();
    EXPECT_EQ(request.header("Authorization"), "Bearer " + *ApiService::token);
    EXPECT_EQ(request.header("AMEMBER-DEVICE-ID"), deviceId);
    EXPECT_FALSE(request.header("cache-control"));

    backend->clearRequests();
    const auto second = getConfigs(answeredAtOnce);
    EXPECT_TRUE(answeredAtOnce);
    EXPECT_TRUE(second.success);
    EXPECT_EQ(second.message, "");
    EXPECT_EQ(second.tcp, first.tcp);
    EXPECT_EQ(second.udp, first.udp);
    EXPECT_TRUE(backend->requests().empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Fetching OpenVPN config\nUsing saved OpenVPN config\n");
}

TEST_F(ProductsAndConfigsTest, AReplyWithoutBothTextsFailsCachesNothingAndTheNextCallFetchesAgain) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"data":{"tcp_server_config":"VENQ"}})", maintenance},
        {R"({"data":{"tcp_server_config":"VENQ","udp_server_config":7}})", maintenance},
        {R"({"data":{"udp_server_config":"VURQ"}})", maintenance},
        {R"({"data":"VENQ"})", maintenance},
        {json{{"status", "maintenance"}, {"message", backendMaintenance}}.dump(), checkInternet},
    };
    for (const auto& [body, message] : cases) {
        backend->enqueueReply(configPath, {200, "application/json", body});
        const auto failed = getConfigs();
        EXPECT_FALSE(failed.success) << body;
        EXPECT_EQ(failed.message, message) << body;
        EXPECT_FALSE(failed.tcp) << body;
        EXPECT_FALSE(failed.udp) << body;
        EXPECT_FALSE(ApiService::savedTcpConfig || ApiService::savedUdpConfig) << body;
    }
    EXPECT_EQ(requestsTo(configPath), cases.size());
    EXPECT_TRUE(getConfigs().success);
    EXPECT_EQ(requestsTo(configPath), cases.size() + 1);
}

TEST_F(ProductsAndConfigsTest, AFailedDeviceCheckEndsEitherCallWithItsMessageAndNoRequest) {
    const auto maintenanceReply = json{{"status", "maintenance"}, {"message", backendMaintenance}}.dump();
    backend->enqueueReply("/account/oauth/token", {503, "application/json", maintenanceReply});
    const auto configs = getConfigs();
    EXPECT_FALSE(configs.success);
    EXPECT_EQ(configs.message, backendMaintenance);

    backend->enqueueReply("/account/oauth/token", {503, "application/json", maintenanceReply});
    std::optional<std::tuple<bool, std::string, bool>> products;
    ApiService::getProducts(*ApiService::token, [&](bool success, const std::string& message, const auto& list) {
        products = std::tuple{success, message, list.has_value()};
    });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return products.has_value(); }));
    EXPECT_EQ(*products, (std::tuple{false, backendMaintenance, false}));
    EXPECT_EQ(requestsTo(configPath), 0u);
    EXPECT_EQ(requestsTo("/account/api2/available-products"), 0u);
}

TEST_F(ProductsAndConfigsTest, TheProductListIsHandedOnAsTheBackendSendsIt) {
    const json list = json::array({{{"product_id", 7}, {"title", "Monthly"}, {"price", "4.99"}}, json::object()});
    for (const auto& [body, expected] : std::vector<std::pair<json, std::optional<json>>>{
             {{{"data", list}}, list}, {{{"data", json::array()}}, json::array()}, {{{"data", {1, 2}}}, std::nullopt}}) {
        backend->enqueueReply("/account/api2/available-products", {200, "application/json", body.dump()});
        std::optional<std::optional<std::vector<json>>> products;
        std::string message;
        ApiService::getProducts(*ApiService::token, [&](bool, const std::string& text, const auto& received) {
            products = received;
            message = text;
        });
        ASSERT_TRUE(environment.runMainQueueUntil([&] { return products.has_value(); }));
        if (expected) {
            ASSERT_TRUE(*products) << body;
            EXPECT_EQ(json(**products), *expected);
            EXPECT_EQ(message, "");
        } else {
            EXPECT_FALSE(*products) << body;
            EXPECT_EQ(message, maintenance);
        }
    }
}

TEST(OpenVpnConfigsBeforeLogin, TheAuthorizationHeaderIsBearerAndNothingElse) {
    const auto session = std::make_shared<corvantis::testing::FakeURLSession>(corvantis::testing::FakeURLSession::Outcome{
        R"({"data":{"tcp_server_config":"VENQ","udp_server_config":"VURQ"}})", std::nullopt, std::nullopt});
    corvantis::testing::AppTestEnvironment environment(session);
    UserSettings::setDeviceId("dev-7");
    bool done = false;
    ApiService::getOpenVpnConfigs([&](bool success, const std::string&, const auto&, const auto&) { done = success; });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return done; }));
    const auto requests = session->requests();
    ASSERT_EQ(requests.size(), 2u);  // device validation, then the configurations
    EXPECT_EQ(requests[1].url, ApiService::apiUrl() + "account/api2/servers/config");
    EXPECT_EQ(requests[1].value("Authorization"), "Bearer ");
    EXPECT_EQ(requests[1].value("AMEMBER-DEVICE-ID"), "dev-7");
}

}  // namespace
