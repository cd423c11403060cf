#pragma once

#include "platform/ui/Rect.hpp"

namespace corvantis {

// Where the popup goes, in screen coordinates: pure arithmetic for the controller.
struct StatusPopupLayout {
    platform::ui::Rect screenRect;
    // The band of the icon's size directly below the icon.
    platform::ui::Rect statusRect;
    platform::ui::Rect panelRect;
    // Set when the panel hangs above the icon (a tray at the bottom of the screen), its arrow
    // pointing down.
    bool arrowPointsDown = false;

    // The panel centred under the icon (x rounded, halves away from zero) with its top edge on
    // the icon's bottom edge, then moved left when it would come closer to the screen's right
    // edge than `arrowHeight`, or right when it would come closer to the left edge. When it does not fit below the icon but does
    // above, its bottom edge goes on the icon's top edge instead.
    static StatusPopupLayout place(platform::ui::Rect screenRect, platform::ui::Rect statusRect, platform::ui::Rect panelRect,
                                   double arrowHeight);
    // The arrow tip's x in the panel's own coordinates: under the icon's rounded centre.
    static double arrowX(platform::ui::Rect statusRect, platform::ui::Rect panelFrame);
    // The band below the icon whose screen rectangle is `iconRect`.
    static platform::ui::Rect bandBelow(platform::ui::Rect iconRect);
};

}  // namespace corvantis
