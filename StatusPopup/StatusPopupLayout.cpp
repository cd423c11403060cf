#include "StatusPopup/StatusPopupLayout.hpp"

#include <cmath>

namespace corvantis {

StatusPopupLayout StatusPopupLayout::place(platform::ui::Rect screenRect, platform::ui::Rect statusRect,
                                           platform::ui::Rect panelRect, double arrowHeight) {
    // std::round takes halves away from zero.
    panelRect.origin.x = std::round(statusRect.midX() - panelRect.width() / 2);
    panelRect.origin.y = statusRect.maxY() - panelRect.height();
    // The icon lies one band height above the band.
    const double iconTop = statusRect.maxY() + statusRect.height();
    const bool roomAbove = iconTop + panelRect.height() <= screenRect.maxY();
    const bool above = panelRect.minY() < screenRect.minY() && roomAbove;
    if (above) panelRect.origin.y = iconTop;
    // The margin on the right is the arrow's height.
    const double rightLimit = screenRect.maxX() - arrowHeight;
    if (panelRect.maxX() > rightLimit) panelRect.origin.x -= panelRect.maxX() - rightLimit;
    // Trays also sit at the left of the screen: the same margin keeps the panel on it there.
    const double leftLimit = screenRect.minX() + arrowHeight;
    if (panelRect.minX() < leftLimit) panelRect.origin.x = leftLimit;
    return {screenRect, statusRect, panelRect, above};
}

double StatusPopupLayout::arrowX(platform::ui::Rect statusRect, platform::ui::Rect panelFrame) {
    return std::round(statusRect.midX()) - panelFrame.minX();
}

platform::ui::Rect StatusPopupLayout::bandBelow(platform::ui::Rect iconRect) {
    return iconRect.offsetBy(0, -iconRect.height());
}

}  // namespace corvantis
