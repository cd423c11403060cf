#pragma once

#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Rect.hpp"

namespace platform::ui {

// The animator proxy of a view or a window. Its setters change the target's value at once, as
// the model must, and record the animation that shows the change, with the current group's
// duration (see `AnimationContext`). Its getters read the target's values.
template <class Target>
class Animator {
public:
    explicit Animator(Target& target) : target_(target) {}

    double alphaValue() const { return target_.alphaValue(); }
    Rect frame() const { return target_.frame(); }

    // Each setter sets the value first (which ends a running animation of it), then records the new one.
    void setAlphaValue(double alpha) {
        target_.setAlphaValue(alpha);
        AnimationLog::shared().record(&target_, "alphaValue", target_.alphaValue(), AnimationContext::currentDuration());
    }
    void setFrame(const Rect& frame) {
        target_.setFrame(frame);
        AnimationLog::shared().record(&target_, "frame", frame, AnimationContext::currentDuration());
    }
    void setFrameOrigin(Point origin) {
        target_.setFrameOrigin(origin);
        AnimationLog::shared().record(&target_, "frameOrigin", origin, AnimationContext::currentDuration());
    }

private:
    Target& target_;
};

}  // namespace platform::ui
