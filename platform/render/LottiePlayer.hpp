#pragma once

#include "platform/animation/AnimationView.hpp"
#include "platform/dispatch/Clock.hpp"

#include <cairo.h>

#include <map>
#include <memory>

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
    // The frame shown at `at`; none when the view has no scene that rlottie can play.
    std::optional<std::size_t> frameAt(const animation::AnimationView& view, dispatch::TimePoint at);

private:
    struct Player {
        std::weak_ptr<const animation::Composition> scene;
        std::unique_ptr<rlottie::Animation> animation;
    };

    LottiePlayer() = default;
    rlottie::Animation* animation(const std::shared_ptr<const animation::Composition>& scene);

    std::map<const animation::Composition*, Player> animations_;
};

}  // namespace platform::render
