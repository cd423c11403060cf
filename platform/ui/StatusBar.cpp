#include "platform/ui/StatusBar.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
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
    if (placer_) waitForPlacement(item);
    layoutItems();
    return item;
}

void StatusBar::waitForPlacement(const std::shared_ptr<StatusItem>& item) {
    item->placementWaitOver_ = false;
    dispatch::DispatchQueue::main()->asyncAfter(placementWait, [this, weakItem = std::weak_ptr<StatusItem>(item),
                                                                number = placerNumber_] {
        const auto waited = weakItem.lock();
        if (!waited || number != placerNumber_) return;
        waited->placementWaitOver_ = true;
        layoutItems();
    });
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
    std::vector<std::shared_ptr<StatusItem>> moved;
    for (const auto& item : items()) {
        const double width = item->effectiveLength();
        right -= width;
        const auto placed = placer_ ? placer_(*item) : std::nullopt;
        const Rect frame = placed.value_or(Rect(right, area.maxY() - thickness(), width, thickness()));
        // Compared with where its observer last heard it was: a tray may have set the window's
        // frame already.
        if (isPlaced(*item) && item->placedFrame_ != frame) {
            item->placedFrame_ = frame;
            moved.push_back(item);
        }
        item->window_->setFrame(frame);
    }
    // Told after the whole bar is laid out: an observer may ask where the others are.
    for (const auto& item : moved) {
        if (item->placementObserver_) item->placementObserver_();
    }
}

void StatusBar::setItemPlacer(ItemPlacer placer) {
    placer_ = std::move(placer);
    ++placerNumber_;
    if (placer_) {
        for (const auto& item : items()) waitForPlacement(item);
    }
    layoutItems();
}

bool StatusBar::isPlaced(const StatusItem& item) const {
    return !placer_ || item.placementWaitOver_ || placer_(item).has_value();
}

void StatusBar::reset() {
    placer_ = nullptr;
    ++placerNumber_;
    for (const auto& item : items()) item->statusBar_ = nullptr;
    items_.clear();
}

}  // namespace platform::ui
