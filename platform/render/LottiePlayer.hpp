#pragma once

#include "platform/animation/AnimationView.hpp"
#include "platform/dispatch/Clock.hpp"

#include <cairo.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace rlottie {
class Animation;
}

namespace platform::render {

// Draws the frame an animation view shows at a moment, through rlottie: frames advance with the
// main queue's clock from the start of the play, wrap round while it loops, and stay on the last
// frame once a play has ended. Main thread only.
class LottiePlayer {
public:
    static LottiePlayer& shared();
    ~LottiePlayer();

    // Draws into `cr`, whose transformation maps the view's own coordinates to the device.
    void draw(const animation::AnimationView& view, cairo_t* cr, dispatch::TimePoint at);
    // Where the scene is drawn in the view's own coordinates, as its content mode fits it.
    ui::Rect sceneRect(const animation::AnimationView& view);
    // The parts of that where any of its frames draws (a pulse in the middle of its canvas: the
    // bands of its ring, not the middle of it), a little generously: what a new frame can change.
    std::vector<ui::Rect> inkedRects(const animation::AnimationView& view);
    // The frames a second the view's scene was made for; 0 without a scene rlottie can play.
    double frameRate(const animation::AnimationView& view);
    // The frame shown at `at`; none when the view has no scene that rlottie can play.
    std::optional<std::size_t> frameAt(const animation::AnimationView& view, dispatch::TimePoint at);

private:
    // The side of the small square the scenes' frames are drawn in to find where they draw.
    static constexpr std::size_t inkSample = 100;
    // Rows of that square that one part covers at most.
    static constexpr std::size_t inkBand = 5;

    struct SurfaceDeleter {
        void operator()(cairo_surface_t* surface) const;
    };
    struct Player {
        std::weak_ptr<const animation::Composition> scene;
        std::unique_ptr<rlottie::Animation> animation;
        // Where its frames draw, as fractions of its canvas; found on first need.
        std::optional<std::vector<ui::Rect>> ink;
        // The last frame drawn, whose memory the next one reuses.
        std::unique_ptr<cairo_surface_t, SurfaceDeleter> frame;
    };
    static std::vector<ui::Rect> inkOf(rlottie::Animation& player);

    LottiePlayer() = default;
    rlottie::Animation* animation(const std::shared_ptr<const animation::Composition>& scene);

    std::map<const animation::Composition*, Player> animations_;
};

}  // namespace platform::render
