#pragma once

#include "platform/ui/Rect.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform::ui {

class StatusItem;

// The status area of the menu bar, along the top edge of the main screen. Items are laid out
// from the right edge leftwards in the order they were made, each as tall as the bar is thick,
// unless the desktop's tray says where it really shows an item (see `setItemPlacer`): the item's
// window then has that frame, so everything that asks where the item is hears the truth.
// Main thread only.
class StatusBar {
public:
    // Where the desktop shows `item`, in screen coordinates; none leaves it to the bar's layout.
    using ItemPlacer = std::function<std::optional<Rect>(const StatusItem& item)>;

    static constexpr double variableLength = -1;
    static constexpr double squareLength = -2;

    static StatusBar& system();

    double thickness() const { return 22; }

    // A new item of `length` (see `StatusItem::length`), shown at once.
    std::shared_ptr<StatusItem> statusItem(double length);
    // Takes the item off the bar; the others close up.
    void removeStatusItem(const std::shared_ptr<StatusItem>& item);
    // The items on the bar, rightmost first.
    std::vector<std::shared_ptr<StatusItem>> items() const;

    // Places every item's window (after a change of length or of the screens, or when the tray
    // moved an item).
    void layoutItems();
    // Installs the tray's placer; an empty one gives the layout back to the bar.
    void setItemPlacer(ItemPlacer placer);
    // No items (used between tests).
    void reset();

private:
    StatusBar() = default;

    std::vector<std::weak_ptr<StatusItem>> items_;
    ItemPlacer placer_;
};

}  // namespace platform::ui
