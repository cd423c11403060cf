#pragma once

#include "platform/ui/Point.hpp"
#include "platform/ui/Rect.hpp"

#include <vector>

namespace platform::ui {

// A path of straight and cubic segments, kept as the list of elements it was built from.
class BezierPath {
public:
    // An ellipse in `rect` from four cubic quarters.
    static BezierPath oval(const Rect& rect);

    // Element kinds with AppKit's raw values.
    enum class ElementType : int { moveTo = 0, lineTo = 1, curveTo = 2, closePath = 3 };

    struct Element {
        ElementType type;
        // moveTo and lineTo: the end point; curveTo: control point 1, control point 2, end point;
        // closePath: none.
        std::vector<Point> points;
        friend bool operator==(const Element&, const Element&) = default;
    };

    void moveTo(Point point);
    void lineTo(Point point);
    void curveTo(Point end, Point controlPoint1, Point controlPoint2);
    void closePath();

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }

    const std::vector<Element>& elements() const { return elements_; }

    friend bool operator==(const BezierPath&, const BezierPath&) = default;

private:
    std::vector<Element> elements_;
    double lineWidth_ = 1.0;
};

}  // namespace platform::ui
