#pragma once

#include "platform/ui/MenuItem.hpp"
#include "platform/ui/Point.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

class View;

// A list of items that pops up where the person is. Headless the person's choice comes from the
// installed pop-up handler, which sees the menu where it would appear and returns the item
// chosen (none to dismiss it). Main thread only.
class Menu {
public:
    struct PopUp {
        const Menu& menu;
        std::shared_ptr<MenuItem> positioningItem;
        Point location;  // in `view`'s coordinates, or the screen's when there is no view
        View* view;
    };
    using PopUpHandler = std::function<std::shared_ptr<MenuItem>(const PopUp& popUp)>;

    explicit Menu(std::string title = {}) : title_(std::move(title)) {}

    const std::string& title() const { return title_; }
    void addItem(std::shared_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
    std::shared_ptr<MenuItem> addItem(std::string title, Selector action, std::string keyEquivalent);
    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }

    // Pops the menu up at `location` with `positioningItem` under the pointer (none: the menu
    // opens at the location) and sends the chosen item's action. True when an item of this menu
    // was chosen; false when nothing was, or no handler is installed.
    bool popUp(std::shared_ptr<MenuItem> positioningItem, Point location, View* view);

    // Installs the handler for every menu; an empty one leaves menus unanswered.
    static void setPopUpHandler(PopUpHandler handler);

private:
    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace platform::ui
