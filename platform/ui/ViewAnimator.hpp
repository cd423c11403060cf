#pragma once

#include "platform/ui/Rect.hpp"

namespace platform::ui {

class View;

// A view's animator proxy. Its setters change the view's value at once, as the model must, and
// record the animation that shows the change, with the current group's duration (see
// `AnimationContext`). Its getters read the view's values.
class ViewAnimator {
public:
    explicit ViewAnimator(View& view) : view_(view) {}

    double alphaValue() const;
    Rect frame() const;

    void setAlphaValue(double alpha);
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);

private:
    View& view_;
};

}  // namespace platform::ui
