#include "platform/ui/ViewAnimator.hpp"

#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/View.hpp"

namespace platform::ui {

double ViewAnimator::alphaValue() const {
    return view_.alphaValue();
}

Rect ViewAnimator::frame() const {
    return view_.frame();
}

// Each setter sets the value first (which ends a running animation of it), then records the new one.
void ViewAnimator::setAlphaValue(double alpha) {
    view_.setAlphaValue(alpha);
    AnimationLog::shared().record(&view_, "alphaValue", view_.alphaValue(), AnimationContext::currentDuration());
}

void ViewAnimator::setFrame(const Rect& frame) {
    view_.setFrame(frame);
    AnimationLog::shared().record(&view_, "frame", frame, AnimationContext::currentDuration());
}

void ViewAnimator::setFrameOrigin(Point origin) {
    view_.setFrameOrigin(origin);
    AnimationLog::shared().record(&view_, "frameOrigin", origin, AnimationContext::currentDuration());
}

}  // namespace platform::ui
