#include "RenderTestCase.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/render/LottiePlayer.hpp"
#include "platform/ui/AnimationContext.hpp"

#include <chrono>

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::animation::AnimationView;
using platform::render::LottiePlayer;
using platform::render::OffscreenRenderer;
using namespace std::chrono_literals;

class AnimationDrawingTest : public RenderTestCase {};

TEST_F(AnimationDrawingTest, TheShippedScenesPlayOnTheMainQueuesClock) {
    for (const char* name : {"waves", "disconnected", "connecting", "connected"}) {
        const auto view = AnimationView::named(name);
        ASSERT_TRUE(view->sceneModel()) << name;
        EXPECT_EQ(LottiePlayer::shared().frameAt(*view, time.clock().now()), 0u) << name << " waits on its first frame";
    }

    auto window = whiteWindow(200, 200);
    auto view = AnimationView::named("connecting");
    view->setFrame({20, 20, 160, 160});
    view->setLoopAnimation(true);
    window->contentView()->addSubview(view);
    view->play();
    platform::render::ViewTreeRenderer renderer;
    const auto first = OffscreenRenderer().draw(*window);
    time.advance(500ms);
    EXPECT_EQ(LottiePlayer::shared().frameAt(*view, time.clock().now()), 15u);
    EXPECT_TRUE(renderer.isAnimating(*window));
    const auto later = OffscreenRenderer().draw(*window);

    const auto ink = count(later, view->frame(), [](const Image::Pixel& p) { return !isWhite(p); });
    EXPECT_GT(ink.inside, 500);
    EXPECT_EQ(ink.outside, 0);
    int changed = 0;
    for (int row = 0; row < 200; ++row) {
        for (int x = 0; x < 200; ++x) changed += first.pixel(x, row) == later.pixel(x, row) ? 0 : 1;
    }
    EXPECT_GT(changed, 100) << "the arc has moved on";

    time.advance(1s);  // a loop wraps round
    EXPECT_EQ(LottiePlayer::shared().frameAt(*view, time.clock().now()), 0u);
}

// Frames come as often as what moves needs: the connect screen's slow pulse at its own 15 a
// second, a spinner or a fade at 30, and none once nothing moves.
TEST_F(AnimationDrawingTest, FramesFollowTheRateOfWhatMoves) {
    auto window = whiteWindow(300, 400);
    auto pulse = AnimationView::named("disconnected");
    pulse->setLoopAnimation(true);
    window->contentView()->addSubview(pulse);
    platform::render::ViewTreeRenderer renderer;
    EXPECT_EQ(renderer.frameRate(*window), 0);
    pulse->play();
    EXPECT_EQ(renderer.frameRate(*window), 15);

    auto spinner = AnimationView::named("connecting");
    window->contentView()->addSubview(spinner);
    spinner->play();
    EXPECT_EQ(renderer.frameRate(*window), 30);
    spinner->stop();
    platform::ui::AnimationContext::runAnimationGroup(0.7, [&] { pulse->animator().setAlphaValue(0.5); });
    EXPECT_EQ(renderer.frameRate(*window), 30) << "a fade";
    time.advance(1s);
    EXPECT_EQ(renderer.frameRate(*window), 15);
    pulse->stop();
    EXPECT_EQ(renderer.frameRate(*window), 0);
}

}  // namespace
}  // namespace corvantis::testing
