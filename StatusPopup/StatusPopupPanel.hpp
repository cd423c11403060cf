#pragma once

#include "platform/ui/Panel.hpp"

namespace corvantis {

// The popup's borderless panel: it can take the keys, and Escape makes it give them up, which
// lets the popup controller close it.
class StatusPopupPanel : public platform::ui::Panel {
public:
    using Panel::Panel;

    bool canBecomeKey() const override { return true; }
    void cancelOperation(platform::ui::Object* sender) override;
};

}  // namespace corvantis
