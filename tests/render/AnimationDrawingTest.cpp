#include "RenderTestCase.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/render/LottiePlayer.hpp"

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

}  // namespace
}  // namespace corvantis::testing
