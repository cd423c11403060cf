#include "platform/ui/ClickGestureRecognizer.hpp"

#include "platform/ui/Event.hpp"
#include "platform/ui/View.hpp"

namespace platform::ui {

void ClickGestureRecognizer::mouseDown(const Event&) {
    pressed(primaryButton);
}

void ClickGestureRecognizer::mouseUp(const Event& event) {
    released(primaryButton, event);
}

void ClickGestureRecognizer::rightMouseDown(const Event&) {
    pressed(secondaryButton);
}

void ClickGestureRecognizer::rightMouseUp(const Event& event) {
    released(secondaryButton, event);
}

void ClickGestureRecognizer::pressed(unsigned button) {
    pressedButton_ = (buttonMask_ & button) ? button : 0;
}

void ClickGestureRecognizer::released(unsigned button, const Event& event) {
    if (pressedButton_ != button) return;
    pressedButton_ = 0;
    const View* target = view();
    if (target == nullptr || event.clickCount() < clicksRequired_) return;
    if (target->bounds().contains(target->convertFrom(event.locationInWindow(), nullptr))) sendAction();
}

}  // namespace platform::ui
