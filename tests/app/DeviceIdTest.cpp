#include "app/ApiService.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/UserTexts.hpp"

#include <gtest/gtest.h>

using corvantis::ApiService;
using corvantis::UserSettings;
using corvantis::testbed::TestBackend;
using corvantis::testbed::FormBody::value;
using namespace std::chrono_literals;

namespace {

using corvantis::testing::texts::backendMaintenance;
using corvantis::testing::texts::checkInternet;

struct DeviceResult {
    bool success = false;
    std::string message;
    std::string deviceId;
    int calls = 0;
};

class DeviceIdTest : public ::testing::Test {
protected:
    DeviceResult getDeviceId() {
        DeviceResult result;
        UserSettings::getDeviceId([&](bool success, const std::string& message, const std::string& deviceId) {
            result = {success, message, deviceId, result.calls + 1};
        });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return result.calls > 0; }));
        environment.runMainQueue();
        EXPECT_EQ(result.calls, 1);
        return result;
    }

    std::optional<std::string> storedId() const { return environment.defaults->string("deviceId"); }

    // "validate" or "register" for each request the backend received, with the id it concerned.
    std::vector<std::string> requestLog() const {
        std::vector<std::string> log;
        for (const auto& request : backend->requests()) {
            if (request.path == "/account/oauth/token")
                log.push_back("validate " + value(request.form, "amember_device_id").value_or("?"));
            if (request.path == "/account/oauth/register-device") log.push_back("register");
        }
        return log;
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
};

TEST_F(DeviceIdTest, NoStoredIdRegistersAndStoresTheNewOne) {
    const auto result = getDeviceId();
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.message, "");
    EXPECT_TRUE(backend->knowsDevice(result.deviceId));
    EXPECT_EQ(storedId(), result.deviceId);
    EXPECT_EQ(requestLog(), std::vector<std::string>{"register"});
}

TEST_F(DeviceIdTest, NoStoredIdAndAFailedRegistrationStoresNothing) {
    backend->setFailureMode(TestBackend::FailureMode::maintenance);
    const auto result = getDeviceId();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message, checkInternet);  // the maintenance message, filtered once more
    EXPECT_EQ(result.deviceId, "");
    EXPECT_FALSE(storedId());
}

TEST_F(DeviceIdTest, AValidStoredIdIsKept) {
    const auto known = backend->registerDevice();
    UserSettings::setDeviceId(known);
    const auto result = getDeviceId();
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(result.deviceId, known);
    EXPECT_EQ(requestLog(), std::vector<std::string>{"validate " + known});
}

TEST_F(DeviceIdTest, AnUnregisteredStoredIdIsReplacedAndTheFollowingCheckUsesTheNewOne) {
    UserSettings::setDeviceId("dev-forgotten");
    const auto result = getDeviceId();
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.message, "Unregistered device");
    EXPECT_NE(result.deviceId, "dev-forgotten");
    EXPECT_EQ(storedId(), result.deviceId);

    const auto again = getDeviceId();
    EXPECT_TRUE(again.success);
    EXPECT_EQ(again.deviceId, result.deviceId);
    EXPECT_EQ(requestLog(), (std::vector<std::string>{"validate dev-forgotten", "register", "validate " + result.deviceId}));
}

TEST_F(DeviceIdTest, AFailedReRegistrationKeepsTheOldId) {
    UserSettings::setDeviceId("dev-forgotten");
    backend->enqueueReply("/account/oauth/register-device", {200, "application/json", R"({"data":{"description":"no id"}})"});
    const auto result = getDeviceId();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message, checkInternet);
    EXPECT_EQ(result.deviceId, "");
    EXPECT_EQ(storedId(), "dev-forgotten");
}

TEST_F(DeviceIdTest, AnyOtherValidationFailureRegistersNothing) {
    UserSettings::setDeviceId("dev-stored");
    backend->setFailureMode(TestBackend::FailureMode::maintenance);
    const auto result = getDeviceId();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message, backendMaintenance);
    EXPECT_EQ(storedId(), "dev-stored");
    EXPECT_EQ(requestLog(), std::vector<std::string>{"validate dev-stored"});
}

TEST_F(DeviceIdTest, ARegistrationReplyWithoutATextIdIsTheMaintenanceText) {
    for (const std::string body : {R"({"result":"ok"})", R"({"data":"dev-1"})", R"({"data":{"amember_device_id":17}})"}) {
        backend->enqueueReply("/account/oauth/register-device", {200, "application/json", body});
        DeviceResult result;
        ApiService::registerDevice([&](bool success, const std::string& message, const std::string& deviceId) {
            result = {success, message, deviceId, result.calls + 1};
        });
        ASSERT_TRUE(environment.runMainQueueUntil([&] { return result.calls > 0; }));
        EXPECT_FALSE(result.success) << body;
        EXPECT_EQ(result.message, "Server is under maintenance. Please try again a little later") << body;
        EXPECT_EQ(result.deviceId, "") << body;
    }
}

TEST_F(DeviceIdTest, TheRequestsCarryTheirFormsAndHeaders) {
    getDeviceId();
    getDeviceId();
    const auto requests = backend->requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto& registration = requests[0];
    EXPECT_EQ(registration.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(registration.header("cache-control"), "no-cache");
    EXPECT_EQ(registration.header("Accept"), "application/json");
    EXPECT_EQ(registration.body, "client_id=7e0b3a9c51d24f86b2c9e4a07d6f1b35&description=macos_120726_1002&undefined=");
    const auto& validation = requests[1];
    EXPECT_EQ(validation.header("Content-Type"), "multipart/form-data; boundary=----WebKitFormBoundary7MA4YWxkTrZu0gW");
    EXPECT_EQ(validation.header("cache-control"), "no-cache");
    ASSERT_EQ(validation.form.size(), 3u);
    EXPECT_EQ(validation.form[0], (std::pair<std::string, std::string>{"client_id", ApiService::clientId}));
    EXPECT_EQ(validation.form[1].first, "amember_device_id");
    EXPECT_EQ(validation.form[2], (std::pair<std::string, std::string>{"grant_type", "amember_device"}));
}

TEST_F(DeviceIdTest, TheDescriptionNamesTheLocalTimeOnTheTwelveHourClock) {
    const std::vector<std::pair<platform::dispatch::Duration, std::string>> moments{
        {2min + 40s, "macos_120726_1005"},                        // 22:05 on 7 December 2026
        {std::chrono::hours(24 * 84) - 13h, "macos_030127_905"},  // 09:05 on 1 March 2027
    };
    for (const auto& [advance, description] : moments) {
        environment.time.clock().advance(advance);
        bool done = false;
        ApiService::registerDevice([&](bool, const std::string&, const std::string&) { done = true; });
        ASSERT_TRUE(environment.runMainQueueUntil([&] { return done; }));
        EXPECT_EQ(value(backend->requests().back().form, "description"), description);
    }
}

}  // namespace
