#include "platform/ui/StatusBar.hpp"

#include "platform/ui/Screen.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"

#include <algorithm>

namespace platform::ui {

StatusBar& StatusBar::system() {
    // Never destroyed: items released during exit still reach it.
    static auto* bar = new StatusBar();
    return *bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItem(double length) {
    std::shared_ptr<StatusItem> item(new StatusItem(length));
    item->attach(*this);
    items_.push_back(item);
    layoutItems();
    return item;
}

void StatusBar::removeStatusItem(const std::shared_ptr<StatusItem>& item) {
    if (!item || item->statusBar_ != this) return;
    std::erase_if(items_, [&](const auto& weak) { return weak.lock() == item; });
    item->statusBar_ = nullptr;
    item->window_->orderOut();
    layoutItems();
}

std::vector<std::shared_ptr<StatusItem>> StatusBar::items() const {
    std::vector<std::shared_ptr<StatusItem>> live;
    for (const auto& weak : items_) {
        if (auto item = weak.lock()) live.push_back(std::move(item));
    }
    return live;
}

void StatusBar::layoutItems() {
    std::erase_if(items_, [](const auto& weak) { return weak.expired(); });
    const auto screen = Screen::main();
    if (!screen) {
        // No menu bar to be on.
        for (const auto& item : items()) item->window_->setFrame({});
        return;
    }
    const Rect area = screen->frame();
    double right = area.maxX();
    for (const auto& item : items()) {
        const double width = item->effectiveLength();
        right -= width;
        const auto placed = placer_ ? placer_(*item) : std::nullopt;
        item->window_->setFrame(placed.value_or(Rect(right, area.maxY() - thickness(), width, thickness())));
    }
}

void StatusBar::setItemPlacer(ItemPlacer placer) {
    placer_ = std::move(placer);
    layoutItems();
}

void StatusBar::reset() {
    placer_ = nullptr;
    for (const auto& item : items()) item->statusBar_ = nullptr;
    items_.clear();
}

}  // namespace platform::ui
