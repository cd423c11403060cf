#pragma once

#include "platform/ui/View.hpp"

namespace platform::ui {

// A view that blurs what lies behind it. Headless the effect is only described, with AppKit's
// raw values, for a renderer to apply.
class VisualEffectView : public View {
public:
    enum class Material : int { appearanceBased = 0, light = 1, dark = 2, titlebar = 3, selection = 4, menu = 5, popover = 6 };
    enum class BlendingMode : int { behindWindow = 0, withinWindow = 1 };
    enum class State : int { followsWindowActiveState = 0, active = 1, inactive = 2 };

    using View::View;

    Material material() const { return material_; }
    void setMaterial(Material material) { material_ = material; }
    BlendingMode blendingMode() const { return blendingMode_; }
    void setBlendingMode(BlendingMode mode) { blendingMode_ = mode; }
    State state() const { return state_; }
    void setState(State state) { state_ = state; }

private:
    Material material_ = Material::appearanceBased;
    BlendingMode blendingMode_ = BlendingMode::behindWindow;
    State state_ = State::followsWindowActiveState;
};

}  // namespace platform::ui
