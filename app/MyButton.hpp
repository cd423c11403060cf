#pragma once

#include "platform/ui/Button.hpp"

namespace corvantis {

// A button drawn through its layer.
class MyButton : public platform::ui::Button {
public:
    using Button::Button;

    bool wantsUpdateLayer() const override { return true; }
};

}  // namespace corvantis
