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

    // Each setter notes what is shown now, sets the value (which ends a running animation of it),
    // then records the new animation from the shown value to the new one.
    void setAlphaValue(double alpha) {
        const double shown = AnimationLog::shared().presentedAlpha(&target_, target_.alphaValue(), now());
        target_.setAlphaValue(alpha);
        AnimationLog::shared().record(&target_, "alphaValue", target_.alphaValue(), AnimationContext::currentDuration(), shown);
    }
    void setFrame(const Rect& frame) {
        const Rect shown = AnimationLog::shared().presentedFrame(&target_, target_.frame(), now());
        target_.setFrame(frame);
        AnimationLog::shared().record(&target_, "frame", frame, AnimationContext::currentDuration(), shown);
    }
    void setFrameOrigin(Point origin) {
        const Rect shown = AnimationLog::shared().presentedFrame(&target_, target_.frame(), now());
        target_.setFrameOrigin(origin);
        AnimationLog::shared().record(&target_, "frameOrigin", origin, AnimationContext::currentDuration(), shown.origin);
    }

private:
    static dispatch::TimePoint now() { return AnimationLog::now(); }

    Target& target_;
};

}  // namespace platform::ui
