#include "StatusPopup/StatusPopupBackgroundView.hpp"

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
    const double halfArrow = arrowSize.width / 2;

    platform::ui::BezierPath path;
    path.setLineWidth(0);
    path.moveTo({arrowX_, area.maxY()});
    path.lineTo({arrowX_ + halfArrow, top});
    path.lineTo({maxX - r, top});
    path.curveTo({maxX, top - r}, {maxX + d, top}, {maxX, top + d});
    path.lineTo({maxX, minY + r});
    path.curveTo({maxX - r, minY}, {maxX, minY - d}, {maxX + d, minY});
    path.lineTo({minX + r, minY});
    path.curveTo({minX, minY + r}, {minX - d, minY}, {minX, minY - d});
    path.lineTo({minX, top - r});
    path.curveTo({minX + r, top}, {minX, top + d}, {minX - d, top});
    path.lineTo({arrowX_ - halfArrow, top});
    path.closePath();
    return path;
}

void StatusPopupBackgroundView::draw(platform::ui::GraphicsContext& context, const platform::ui::Rect&) {
    context.fill(shape(), backgroundColor);
}

}  // namespace corvantis
