#pragma once

#include "platform/ui/Rect.hpp"

#include <chrono>
#include <cstdint>
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
//
// A tray takes a moment to say where a new item is (an XEmbed tray docks it, a StatusNotifier
// host registers it): until then the item is not placed (`isPlaced`), and once `placementWait`
// has passed since the item was made (or the tray took over), the bar's own layout counts as
// its place. Each item
// hears when it is placed or moved (`StatusItem::setPlacementObserver`). Main thread only.
class StatusBar {
public:
    // Where the desktop shows `item`, in screen coordinates; none leaves it to the bar's layout.
    using ItemPlacer = std::function<std::optional<Rect>(const StatusItem& item)>;

    static constexpr double variableLength = -1;
    static constexpr double squareLength = -2;
    // How long a tray may take to say where an item is before the bar's layout is taken.
    static constexpr std::chrono::milliseconds placementWait{1000};

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
    // Whether `item` stands where the desktop shows it: always without a tray that places items,
    // else once the tray has said so or `placementWait` has passed.
    bool isPlaced(const StatusItem& item) const;
    // No items (used between tests).
    void reset();

private:
    StatusBar() = default;

    // Gives the tray `placementWait` to place `item`.
    void waitForPlacement(const std::shared_ptr<StatusItem>& item);

    std::vector<std::weak_ptr<StatusItem>> items_;
    ItemPlacer placer_;
    // Counts placers, so that the wait of one that was replaced ends nothing.
    std::uint64_t placerNumber_ = 0;
};

}  // namespace platform::ui
