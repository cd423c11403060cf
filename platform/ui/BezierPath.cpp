#include "platform/ui/BezierPath.hpp"

namespace platform::ui {

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
