#pragma once

#include "platform/ui/Color.hpp"
#include "platform/ui/Font.hpp"

#include <string>

namespace platform::ui {

// How the pieces the platform draws for an application look: its alerts and sheets, menus and
// save panel. An application gives its own face and colours so that they belong with its
// windows; by default they are the system face, black text and the system's blue. Main thread.
struct Appearance {
    // The registered face the pieces write in; the system face when it is not registered.
    std::string faceName;
    Color textColor = Color::calibratedWhite(0, 1);
    // Marks what is chosen or under the pointer.
    Color accentColor = Color::sRGB(0x1f / 255.0, 0x66 / 255.0, 0xfb / 255.0, 1);

    // The face at `size`.
    Font font(double size) const;

    static const Appearance& current();
    static void setCurrent(Appearance appearance);
    // Back to the default look (used between tests).
    static void reset();
};

}  // namespace platform::ui
