#include "StatusPopup/StatusItemClicks.hpp"

#include "platform/ui/StatusBarWindow.hpp"

namespace corvantis {

namespace {
// Events with this number are posted to reach the bar without opening the popup.
constexpr std::int64_t ignoredEventNumber = 1337;
}  // namespace

std::shared_ptr<platform::ui::StatusItem> clickedStatusItem(const platform::ui::Event& event) {
    const auto window = std::dynamic_pointer_cast<platform::ui::StatusBarWindow>(event.window());
    return window ? window->statusItem() : nullptr;
}

std::shared_ptr<platform::ui::StatusItem> realItem(const std::shared_ptr<platform::ui::StatusItem>& item) {
    return item;
}

std::shared_ptr<platform::ui::Window> realWindow(const platform::ui::StatusItem& item) {
    const auto button = item.button();
    auto* const window = button ? button->window() : nullptr;
    return window != nullptr ? window->sharedWindow() : nullptr;
}

std::optional<platform::ui::Rect> globalRect(const platform::ui::StatusItem& item,
                                             const std::shared_ptr<platform::ui::Window>& window) {
    const auto button = item.button();
    if (!button) return std::nullopt;
    const auto inWindow = button->convert(button->frame(), nullptr);
    const auto through = window ? window : realWindow(item);
    if (!through) return std::nullopt;
    return platform::ui::Rect{through->convertToScreen(inWindow).origin, button->frame().size};
}

bool shouldTrigger(const platform::ui::StatusItem& item, const platform::ui::Event& event) {
    const auto clicked = clickedStatusItem(event);
    const auto clickedItem = clicked ? realItem(clicked) : nullptr;
    const auto button = item.button();
    if (!button || !clickedItem || clickedItem->button() != button) return false;
    const auto window = event.window();
    if (!window || window != realWindow(*clicked)) return false;
    return event.eventNumber() != ignoredEventNumber;
}

}  // namespace corvantis
