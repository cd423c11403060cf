#include "platform/ui/Menu.hpp"

#include "platform/ui/Application.hpp"

#include <algorithm>

namespace platform::ui {

namespace {
Menu::PopUpHandler& handler() {
    static Menu::PopUpHandler installed;
    return installed;
}
}  // namespace

void Menu::setPopUpHandler(PopUpHandler popUpHandler) {
    handler() = std::move(popUpHandler);
}

std::shared_ptr<MenuItem> Menu::addItem(std::string title, Selector action, std::string keyEquivalent) {
    auto item = std::make_shared<MenuItem>(std::move(title), std::move(action), std::move(keyEquivalent));
    items_.push_back(item);
    return item;
}

bool Menu::popUp(std::shared_ptr<MenuItem> positioningItem, Point location, View* view) {
    if (!handler()) return false;
    const auto answer = handler();  // the handler may install another
    const auto chosen = answer(PopUp{*this, std::move(positioningItem), location, view});
    if (!chosen || std::find(items_.begin(), items_.end(), chosen) == items_.end()) return false;
    Application::shared().sendAction(chosen->action(), chosen->target().get(), chosen.get());
    return true;
}

}  // namespace platform::ui
