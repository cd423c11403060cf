#include "RenderTestCase.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/render/LottiePlayer.hpp"
#include "platform/render/Picture.hpp"
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

// A new frame of the connect screen's pulse is drawn only where its ring is: the bands it
// passes through, not the middle of the circle, and far less than the square around it.
TEST_F(AnimationDrawingTest, APulsesNewFrameCoversItsRingAndNotItsMiddle) {
    auto window = whiteWindow(300, 400);
    auto pulse = AnimationView::named("disconnected");
    pulse->setContentMode(platform::animation::ContentMode::center);
    pulse->setFrame({0, 0, 300, 400});
    pulse->setLoopAnimation(true);
    window->contentView()->addSubview(pulse);
    pulse->play();
    platform::render::ViewTreeRenderer renderer;
    platform::render::Picture picture(300, 400, 1);
    cairo_t* cr = cairo_create(picture.surface());
    renderer.render(*window, cr, 1);
    time.advance(700ms);
    const auto area = renderer.changedArea(*window);
    ASSERT_TRUE(area);
    double covered = 0;
    for (const Rect& part : *area) {
        covered += part.width() * part.height();
        EXPECT_FALSE(part.contains({150, 200})) << "the middle of the ring";
    }
    EXPECT_LT(covered, 0.5 * 146 * 146) << "half the square around the ring";
    // What it covers is all that changed: drawn there alone, the picture is the whole new frame.
    renderer.render(*window, cr, 1, area);
    cairo_destroy(cr);
    const auto whole = OffscreenRenderer().draw(*window);
    for (int row = 0; row < 400; ++row) {
        for (int x = 0; x < 300; ++x) ASSERT_EQ(picture.pixel(x, row), whole.pixel(x, row)) << x << ", " << row;
    }
}

}  // namespace
}  // namespace corvantis::testing
