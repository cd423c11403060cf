#pragma once

#include "platform/ui/Menu.hpp"

#include <memory>

namespace platform::display {

class DisplayServer;

// Pops menus up on the display: a borderless window of pop-up-menu level at the menu's location
// holding the menu's view (`MenuView`), drawn by the renderer like any window. The person picks a row, or
// dismisses the menu with Escape or a click elsewhere (the pointer is grabbed while it is open);
// until then the main queue keeps running. Installed as the layer's pop-up handler while it lives.
class MenuPresenter {
public:
    explicit MenuPresenter(DisplayServer& server);
    ~MenuPresenter();
    MenuPresenter(const MenuPresenter&) = delete;
    MenuPresenter& operator=(const MenuPresenter&) = delete;

    std::shared_ptr<ui::MenuItem> popUp(const ui::Menu::PopUp& popUp);

private:
    DisplayServer& server_;
};

}  // namespace platform::display
