#pragma once

#include "platform/ui/Color.hpp"

#include <optional>

namespace platform::ui {

// What a layer-backed view's layer carries for the renderer.
struct Layer {
    double zPosition = 0;
    bool masksToBounds = false;
    double cornerRadius = 0;
    std::optional<Color> backgroundColor;
    double borderWidth = 0;
    std::optional<Color> borderColor;
};

}  // namespace platform::ui
