#include "platform/ui/BezierPath.hpp"

namespace platform::ui {

BezierPath BezierPath::oval(const Rect& rect) {
    constexpr double kappa = 0.5522847498;
    const double rx = rect.width() / 2;
    const double ry = rect.height() / 2;
    const double cx = rect.midX();
    const double cy = rect.midY();
    BezierPath path;
    path.moveTo({cx + rx, cy});
    path.curveTo({cx, cy + ry}, {cx + rx, cy + ry * kappa}, {cx + rx * kappa, cy + ry});
    path.curveTo({cx - rx, cy}, {cx - rx * kappa, cy + ry}, {cx - rx, cy + ry * kappa});
    path.curveTo({cx, cy - ry}, {cx - rx, cy - ry * kappa}, {cx - rx * kappa, cy - ry});
    path.curveTo({cx + rx, cy}, {cx + rx * kappa, cy - ry}, {cx + rx, cy - ry * kappa});
    path.closePath();
    return path;
}

void BezierPath::moveTo(Point point) {
    elements_.push_back({ElementType::moveTo, {point}});
}

void BezierPath::lineTo(Point point) {
    elements_.push_back({ElementType::lineTo, {point}});
}

void BezierPath::curveTo(Point end, Point controlPoint1, Point controlPoint2) {
    elements_.push_back({ElementType::curveTo, {controlPoint1, controlPoint2, end}});
}

void BezierPath::closePath() {
    elements_.push_back({ElementType::closePath, {}});
}

}  // namespace platform::ui
