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

    std::optional<std::string> ipApi(const std::optional<std::string>& query = std::nullopt) {
        std::promise<std::optional<std::string>> answer;
        corvantis::IPAPI::Service::defaultService().fetch(
            query, {Result::Key::ipAddress}, "en", [&](std::optional<Result> result, std::optional<platform::foundation::Error>) {
                answer.set_value(result ? result->ipAddress : std::nullopt);
            });
        return answer.get_future().get();
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;
    corvantis::testing::ScopedEnvironment ipifyUrl{"CORVANTIS_IPIFY_URL", backend->url() + "ipify?format=json"};
    corvantis::testing::ScopedEnvironment ipApiUrl{"CORVANTIS_IPAPI_URL", backend->url() + "ip-api/json/"};
};

TEST_F(PublicAddressTest, BothServicesAnswerWithTheCallersAddressInTheirOwnShape) {
    const auto address = ipify();
    ASSERT_TRUE(address) << address.error().message;
    EXPECT_EQ(address.value(), "127.0.0.1");
    EXPECT_EQ(ipApi(), "127.0.0.1");
    EXPECT_EQ(ipApi("198.51.100.1"), "198.51.100.1");
    const auto requests = backend->requests();
    EXPECT_EQ(requests.back().target, "/ip-api/json/198.51.100.1?fields=query&lang=en");
}

TEST_F(PublicAddressTest, AnAnswerWithoutAUsableAddressIsAFailure) {
    using Reply = corvantis::testbed::TestBackend::CannedReply;
    for (const auto& reply : {Reply{200, "application/json", R"({"ip": "not an address"})"}, Reply{200, "application/json", "[]"},
                              Reply{503, "application/json", R"({"ip": "192.0.2.1"})"}, Reply{200, "text/html", "<html>"}}) {
        backend->enqueueReply("/ipify", reply);
        EXPECT_FALSE(ipify()) << reply.body;
    }
    backend->enqueueReply("/ip-api/json/", Reply{200, "application/json", R"({"status": "fail", "message": "reserved range"})"});
    EXPECT_EQ(ipApi(), std::nullopt);
    backend->enqueueReply("/ip-api/json/", Reply{200, "application/json", R"({"status": "success"})"});
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
