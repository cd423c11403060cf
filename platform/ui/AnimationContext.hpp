#pragma once

#include <functional>

namespace platform::ui {

// Groups of animations. Changes made through animator proxies inside `changes` are animated over
// the group's duration; outside any group they take the default 0.25 s. Main thread only.
class AnimationContext {
public:
    static constexpr double defaultDuration = 0.25;

    // Runs `changes` at once with `duration` (seconds) in force; `completion`, when given, runs
    // on the main queue once the duration has passed.
    static void runAnimationGroup(double duration, const std::function<void()>& changes, std::function<void()> completion = {});
    // The duration of the innermost running group, else the default.
    static double currentDuration();
};

}  // namespace platform::ui
