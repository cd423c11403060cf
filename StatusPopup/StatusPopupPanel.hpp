#pragma once

#include "platform/ui/Panel.hpp"

#include <functional>

namespace corvantis {

// The popup's borderless panel: it can take the keys, and Escape makes it give them up, which
// lets the popup controller close it; `escapePressed` then tells the controller that the person
// asked for it, which closes the popup even where losing the keys would not.
class StatusPopupPanel : public platform::ui::Panel {
public:
    using Panel::Panel;

    bool canBecomeKey() const override { return true; }
    void cancelOperation(platform::ui::Object* sender) override;

    std::function<void()> escapePressed;
};

}  // namespace corvantis
