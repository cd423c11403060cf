#pragma once

#include "platform/ui/Appearance.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/FontRegistry.hpp"

namespace corvantis {

// The colours the screens share: the navy of their text and the accent blue of tabs and links.
inline platform::ui::Color darkTextColor() {
    return platform::ui::Color::sRGB(37.0 / 255, 47.0 / 255, 88.0 / 255, 1.0);
}

inline platform::ui::Color accentBlueColor() {
    return platform::ui::Color::sRGB(31.0 / 255, 102.0 / 255, 251.0 / 255, 1.0);
}

// The look of the alerts, sheets, menus and save panel that the platform draws, so that they
// belong with the screens: the screens' face and colours.
inline platform::ui::Appearance screenAppearance() {
    return {platform::ui::FontRegistry::screenFaceName, darkTextColor(), accentBlueColor()};
}

}  // namespace corvantis
