// The connect screen's small parts: the public-address services against the test backend over
// loopback, the location cell's title frame, the location button's double action and the
// connect button's title.

#include "app/ConnectButton.hpp"
#include "app/IPAPI.hpp"
#include "app/Ipify.hpp"
#include "app/LocationButton.hpp"
#include "app/LocationButtonCell.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"

#include <gtest/gtest.h>

#include <future>

using corvantis::IPAPI::Result;
using platform::foundation::Expected;
using platform::ui::Rect;

namespace {

class PublicAddressTest : public ::testing::Test {
protected:
    Expected<std::string> ipify() {
        std::promise<Expected<std::string>> answer;
        corvantis::Ipify::getPublicIPAddress([&](Expected<std::string> address) { answer.set_value(std::move(address)); });
        return answer.get_future().get();
    }

    std::optional<Result> ipApiResult(const std::optional<std::string>& query, const std::vector<Result::Key>& keys,
                                      std::string* failure = nullptr) {
        std::promise<std::optional<Result>> answer;
        corvantis::IPAPI::Service::defaultService().fetch(
            query, keys, "en", [&](std::optional<Result> result, std::optional<platform::foundation::Error> error) {
                if (failure != nullptr && error) *failure = error->message;
                answer.set_value(std::move(result));
            });
        return answer.get_future().get();
    }
    std::optional<std::string> ipApi(const std::optional<std::string>& query = std::nullopt) {
        const auto result = ipApiResult(query, {Result::Key::ipAddress});
        return result ? result->ipAddress : std::nullopt;
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
    corvantis::testing::ScopedEnvironment ipifyUrl{"CORVANTIS_IPIFY_URL", backend->url() + "ipify?format=json"};
    corvantis::testing::ScopedEnvironment ipApiUrl{"CORVANTIS_IPAPI_URL", backend->url() + "ipwho.is/"};
};

TEST_F(PublicAddressTest, BothServicesAnswerWithTheCallersAddressInTheirOwnShape) {
    const auto address = ipify();
    ASSERT_TRUE(address) << address.error().message;
    EXPECT_EQ(address.value(), "127.0.0.1");
    EXPECT_EQ(ipApi(), "127.0.0.1");
    EXPECT_EQ(ipApi("198.51.100.1"), "198.51.100.1");
    const auto requests = backend->requests();
    EXPECT_EQ(requests.back().target, "/ipwho.is/198.51.100.1?fields=ip&lang=en");
}

TEST_F(PublicAddressTest, TheFallbackReadsTheServicesOwnReply) {
    using Reply = corvantis::testbed::TestBackend::CannedReply;
    // A reply of ipwho.is for 8.8.4.4 as its documentation shows it (free plan: no security block).
    const std::string recorded = R"({
        "ip": "8.8.4.4", "success": true, "type": "IPv4", "continent": "North America", "continent_code": "NA",
        "country": "United States", "country_code": "US", "region": "California", "region_code": "CA",
        "city": "Mountain View", "latitude": 37.3860517, "longitude": -122.0838511, "is_eu": false, "postal": "94039",
        "calling_code": "1", "capital": "Washington D.C.", "borders": "CA,MX",
        "flag": {"img": "https://cdn.ipwhois.io/flags/us.svg", "emoji": "\ud83c\uddfa\ud83c\uddf8",
                 "emoji_unicode": "U+1F1FA U+1F1F8"},
        "connection": {"asn": 15169, "org": "Google LLC", "isp": "Google LLC", "domain": "google.com"},
        "timezone": {"id": "America/Los_Angeles", "abbr": "PDT", "is_dst": true, "offset": -25200, "utc": "-07:00",
                     "current_time": "2022-04-22T14:31:48-07:00"}})";
    backend->enqueueReply("/ipwho.is/8.8.4.4", Reply{200, "application/json", recorded});
    const auto result = ipApiResult("8.8.4.4", {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->ipAddress, "8.8.4.4");
    EXPECT_EQ(result->status, "success");
    EXPECT_EQ(result->country, "United States");
    EXPECT_EQ(result->countryCode, "US");
    EXPECT_EQ(result->city, "Mountain View");
    EXPECT_EQ(result->timezone, "America/Los_Angeles");
    EXPECT_EQ(result->isp, "Google LLC");
    EXPECT_EQ(backend->requests().back().target,
              "/ipwho.is/8.8.4.4?fields=success,message,country,country_code,ip,city,timezone.id,connection.isp&lang=en");

    // What it says when it has no answer.
    backend->enqueueReply("/ipwho.is/", Reply{200, "application/json", R"({"success": false, "message": "Invalid IP address"})"});
    std::string failure;
    EXPECT_FALSE(ipApiResult(std::nullopt, {Result::Key::ipAddress}, &failure));
    EXPECT_EQ(failure, "Invalid IP address");
}

TEST_F(PublicAddressTest, BothServicesAreAskedOverHttpsAndPlainHttpOnlyReachesThisMachine) {
    EXPECT_TRUE(std::string_view(corvantis::Ipify::builtInUrl).starts_with("https://"));
    EXPECT_TRUE(std::string_view(corvantis::IPAPI::Service::builtInUrl).starts_with("https://"));
    corvantis::testing::ScopedEnvironment plain{"CORVANTIS_IPAPI_URL", "http://ipwho.is/"};
    std::string failure;
    EXPECT_FALSE(ipApiResult(std::nullopt, {Result::Key::ipAddress}, &failure));
    EXPECT_NE(failure.find("secure"), std::string::npos) << failure;
    EXPECT_EQ(ipApi(), std::nullopt);
}

TEST_F(PublicAddressTest, AnAnswerWithoutAUsableAddressIsAFailure) {
    using Reply = corvantis::testbed::TestBackend::CannedReply;
    // A valid address padded past what an address service ever sends is refused unread.
    const std::string padded = R"({"ip": "192.0.2.1", "padding": ")" + std::string(100 * 1024, 'x') + "\"}";
    for (const auto& reply : {Reply{200, "application/json", R"({"ip": "not an address"})"}, Reply{200, "application/json", "[]"},
                              Reply{503, "application/json", R"({"ip": "192.0.2.1"})"}, Reply{200, "text/html", "<html>"},
                              Reply{200, "application/json", padded}}) {
        backend->enqueueReply("/ipify", reply);
        EXPECT_FALSE(ipify()) << reply.body;
    }
    backend->enqueueReply("/ipwho.is/", Reply{200, "application/json", R"({"success": false, "message": "Reserved range"})"});
    EXPECT_EQ(ipApi(), std::nullopt);
    backend->enqueueReply("/ipwho.is/", Reply{200, "application/json", R"({"success": true})"});
    EXPECT_EQ(ipApi(), std::nullopt) << "no address to confirm a tunnel with";
    backend->stop();
    EXPECT_FALSE(ipify()) << "nobody listening";
}

TEST(LocationButtonCellTest, TheTitleGetsRoomForTheWholeNameAndSitsAPointLower) {
    struct Case {
        double titleWidth;
        Rect offered, expected;
    };
    for (const auto& [titleWidth, offered, expected] : std::vector<Case>{
             {80.6, Rect(5, 2, 90, 20), Rect(5, 2, 100, 19)},
             {60, Rect(5, 2, 90, 20), Rect(5, 2, 90, 19)},
             {70.9, Rect(0, 0, 90.7, 20), Rect(0, 0, 90.7, 19)},
         }) {
        const auto frame = corvantis::LocationButtonCell::titleFrame(titleWidth, offered);
        EXPECT_EQ(frame.origin.x, expected.origin.x);
        EXPECT_EQ(frame.width(), expected.width()) << titleWidth;
        EXPECT_EQ(frame.height(), expected.height()) << titleWidth;
    }
}

TEST(LocationButtonTest, APressSendsTheActionAgainAfterTheClickWhereverTheMouseGoesUp) {
    corvantis::testing::AppTestEnvironment environment;
    auto receiver = std::make_shared<platform::ui::View>();
    int actions = 0;
    receiver->setActionHandler("btnLocationClick:", [&](platform::ui::Object*) { ++actions; });
    auto button = std::make_shared<corvantis::LocationButton>(Rect(0, 0, 100, 30));
    button->setTarget(receiver);
    button->setAction("btnLocationClick:");
    button->click();
    EXPECT_EQ(actions, 2);

    actions = 0;
    button->mouseDown(platform::ui::Event::mouseEvent(platform::ui::EventType::leftMouseDown, {50, 15}, nullptr));
    button->mouseUp(platform::ui::Event::mouseEvent(platform::ui::EventType::leftMouseUp, {500, 15}, nullptr));
    EXPECT_EQ(actions, 1) << "released outside: only the second action";

    EXPECT_FALSE(button->cursor);
    platform::ui::RecordingGraphicsContext context;
    button->draw(context, button->bounds());
    EXPECT_EQ(button->cursor, platform::ui::Cursor::pointingHand());
}

TEST(ConnectButtonTest, TheConnectTitleIsSetOnlyWhileNotConnected) {
    corvantis::testing::AppTestEnvironment environment;
    corvantis::ConnectButton button;
    button.isConnected = true;
    button.setBackgroundImage();
    EXPECT_EQ(button.title(), "");
    button.setDisconnected();
    EXPECT_EQ(button.title(), "Connect");
    EXPECT_EQ(button.attributedTitle().attributes(0).paragraphStyle->alignment, platform::ui::TextAlignment::center);
}

}  // namespace
