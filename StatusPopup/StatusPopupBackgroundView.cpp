#include "StatusPopup/StatusPopupBackgroundView.hpp"

#include <algorithm>

namespace corvantis {

void StatusPopupBackgroundView::setArrowX(double arrowX) {
    arrowX_ = arrowX;
    setNeedsDisplay(true);
}

platform::ui::BezierPath StatusPopupBackgroundView::shape() const {
    const auto area = bounds();
    const double minX = area.minX();
    const double maxX = area.maxX();
    const double minY = area.minY();
    const double top = area.maxY() - arrowSize.height;
    const double r = cornerRadius;
    // Control points sit kappa × r from each tangent point along its tangent.
    const double d = r * kappa - r;
    // The arrow's base keeps to the straight part of the edge: an arrow pointing at an icon by
    // the body's end leans towards it instead of being cut by the corner or the bounds.
    const double baseLeft = std::max(minX + r, std::min(arrowX_ - arrowSize.width / 2, maxX - r - arrowSize.width));
    const double baseRight = std::min(maxX - r, baseLeft + arrowSize.width);
    const double tip = std::clamp(arrowX_, minX, maxX);
    // Mirrored top to bottom when the arrow points down.
    const auto at = [&](double x, double y) {
        return platform::ui::Point{x, arrowPointsDown ? area.maxY() + area.minY() - y : y};
    };

    platform::ui::BezierPath path;
    path.setLineWidth(0);
    path.moveTo(at(tip, area.maxY()));
    path.lineTo(at(baseRight, top));
    path.lineTo(at(maxX - r, top));
    path.curveTo(at(maxX, top - r), at(maxX + d, top), at(maxX, top + d));
    path.lineTo(at(maxX, minY + r));
    path.curveTo(at(maxX - r, minY), at(maxX, minY - d), at(maxX + d, minY));
    path.lineTo(at(minX + r, minY));
    path.curveTo(at(minX, minY + r), at(minX - d, minY), at(minX, minY - d));
    path.lineTo(at(minX, top - r));
    path.curveTo(at(minX + r, top), at(minX, top + d), at(minX - d, top));
    path.lineTo(at(baseLeft, top));
    path.closePath();
    return path;
}

void StatusPopupBackgroundView::draw(platform::ui::GraphicsContext& context, const platform::ui::Rect&) {
    context.fill(shape(), backgroundColor);
}

}  // namespace corvantis
