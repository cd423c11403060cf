#include "XvfbSession.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/View.hpp"

using corvantis::testing::XvfbSession;
using platform::ui::Rect;
using platform::ui::View;

namespace {

// A window like the popup: screens stacked in it, one with an animation, of which one shows.
class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
        session = std::make_unique<XvfbSession>();
        window = std::make_shared<platform::ui::Window>(Rect(100, 300, 300, 400), platform::ui::WindowStyleMask::borderless);
        window->setContentView(std::make_shared<View>());
        for (auto* screen : {&animated, &still}) {
            *screen = std::make_shared<View>(Rect(0, 0, 300, 400));
            window->contentView()->addSubview(*screen);
        }
        pulse = platform::animation::AnimationView::named("disconnected");
        ASSERT_NE(pulse->sceneModel(), nullptr);
        pulse->setFrame({50, 100, 200, 200});
        pulse->setLoopAnimation(true);
        animated->addSubview(pulse);
        window->orderFront();
        session->settle();
    }

    bool playing() {
        session->settle();
        return session->server().isPlayingFrames();
    }

    std::unique_ptr<XvfbSession> session;
    std::shared_ptr<platform::ui::Window> window;
    std::shared_ptr<View> animated;
    std::shared_ptr<View> still;
    std::shared_ptr<platform::animation::AnimationView> pulse;
};

TEST_F(FrameTimerTest, FramesPlayOnlyWhileSomethingMovesWhereItCanBeSeen) {
    EXPECT_FALSE(playing()) << "a still window needs no frames";
    pulse->play();
    EXPECT_TRUE(playing());

    // The animated screen hidden the way screens hide (alpha 0), the other one shown.
    animated->setAlphaValue(0);
    EXPECT_FALSE(playing()) << "the pulse plays on a screen nobody sees";
    animated->setAlphaValue(1);
    EXPECT_TRUE(playing());

    // A closed popup: the window transparent, or not on screen at all.
    window->setAlphaValue(0);
    EXPECT_FALSE(playing()) << "the pulse plays in a window nobody sees";
    window->setAlphaValue(1);
    window->orderOut();
    EXPECT_FALSE(playing());
    window->orderFront();
    EXPECT_TRUE(playing());
    pulse->stop();
    EXPECT_FALSE(playing());

    // A fade plays its frames and then stops them.
    platform::ui::AnimationContext::runAnimationGroup(0.3, [&] { still->animator().setAlphaValue(0.5); });
    EXPECT_TRUE(playing());
    EXPECT_TRUE(session->pumpUntil([&] { return !session->server().isPlayingFrames(); }, std::chrono::seconds(3)));
}

}  // namespace
