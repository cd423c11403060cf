#pragma once

#include "platform/display/Tray.hpp"

namespace platform::display {

// No tray on this desktop: the status items' own windows, which the status bar lays out from the
// top-right corner of the screen leftwards, stand on top of everything as a small strip.
class StripTray final : public Tray {
public:
    Kind kind() const override { return Kind::strip; }
    bool showsStatusWindows() const override { return true; }
};

}  // namespace platform::display
