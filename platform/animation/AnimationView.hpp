#pragma once

#include "platform/animation/Composition.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/ui/View.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace platform::animation {

// How a scene is fitted into the view, with the animation framework's raw values.
enum class ContentMode : int {
    scaleToFill = 0,
    scaleAspectFit = 1,
    scaleAspectFill = 2,
    redraw = 3,
    center = 4,
};

std::optional<ContentMode> contentModeFromRaw(int raw);

// A view that plays one animation scene, layer-backed from the start. Headless it keeps the play
// state a renderer shows: which scene, since when it plays, whether it loops, and how often it was
// asked to play. A play that does not loop finishes after the scene's duration and then calls its
// completion with true on the main queue; a play cut short (by another play or another scene)
// calls it at once with false. A looping play runs until it is cut short. Main thread only.
class AnimationView : public ui::View {
public:
    using Completion = std::function<void(bool finished)>;

    explicit AnimationView(std::shared_ptr<const Composition> scene = nullptr, ui::Rect frame = {});
    // A view showing the scene `name` from the resources; one without a scene when there is none.
    static std::shared_ptr<AnimationView> named(const std::string& name);

    std::shared_ptr<const Composition> sceneModel() const { return scene_; }
    // Shows `scene` from now on; a play under way is cut short.
    void setSceneModel(std::shared_ptr<const Composition> scene);

    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode) { contentMode_ = mode; }
    bool loopAnimation() const { return loopAnimation_; }
    // Takes effect from the next play.
    void setLoopAnimation(bool loop) { loopAnimation_ = loop; }

    void play() { play(nullptr); }
    void play(Completion completion);
    // Ends the play under way, as another play would (its completion hears false); the view then
    // shows the scene's last frame and costs nothing to draw again.
    void stop();
    bool isAnimationPlaying() const { return playing_; }
    // How many times play was asked for.
    int playCount() const { return playCount_; }
    // When the play under way, or the last one, began on the main queue's clock; none before
    // the first play.
    std::optional<dispatch::TimePoint> playStartedAt() const { return playStartedAt_; }

private:
    void interrupt();

    std::shared_ptr<const Composition> scene_;
    ContentMode contentMode_ = ContentMode::scaleToFill;
    bool loopAnimation_ = false;
    bool playing_ = false;
    int playCount_ = 0;
    std::optional<dispatch::TimePoint> playStartedAt_;
    std::uint64_t playNumber_ = 0;  // tells a finishing play from one already cut short
    Completion completion_;
};

}  // namespace platform::animation
