#include "StatusPopup/StatusPopup.hpp"

namespace corvantis {

namespace {
std::shared_ptr<platform::ui::StatusBarButton>& recordedButton() {
    static std::shared_ptr<platform::ui::StatusBarButton> button;
    return button;
}
}  // namespace

std::shared_ptr<platform::ui::StatusBarButton> StatusPopup::statusItemButton() {
    return recordedButton();
}

void StatusPopup::setStatusItemButton(std::shared_ptr<platform::ui::StatusBarButton> button) {
    recordedButton() = std::move(button);
    platform::ui::StatusBarButton::setSkipsDefaultMouseDown(
        [](const platform::ui::StatusBarButton& pressed) { return &pressed == recordedButton().get(); });
}

}  // namespace corvantis
