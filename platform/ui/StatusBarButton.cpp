#include "platform/ui/StatusBarButton.hpp"

namespace platform::ui {

namespace {
StatusBarButton::MouseDownFilter& filter() {
    static StatusBarButton::MouseDownFilter installed;
    return installed;
}
}  // namespace

void StatusBarButton::setSkipsDefaultMouseDown(MouseDownFilter skips) {
    filter() = std::move(skips);
}

void StatusBarButton::mouseDown(const Event& event) {
    if (filter() && filter()(*this)) return;
    Button::mouseDown(event);
}

}  // namespace platform::ui
