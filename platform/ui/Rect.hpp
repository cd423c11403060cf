#pragma once

#include "platform/ui/Point.hpp"
#include "platform/ui/Size.hpp"

#include <iosfwd>

namespace platform::ui {

// An origin (the corner with the smallest coordinates) and a size.
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point origin, Size size) : origin(origin), size(size) {}
    Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double midX() const { return origin.x + size.width / 2; }
    double maxX() const { return origin.x + size.width; }
    double minY() const { return origin.y; }
    double midY() const { return origin.y + size.height / 2; }
    double maxY() const { return origin.y + size.height; }

    // True for points on the minimum edges and inside; the maximum edges belong to the neighbour.
    bool contains(Point point) const { return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY(); }
    Rect offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// "{{x, y}, {width, height}}", for test failure messages and logs.
std::ostream& operator<<(std::ostream& stream, const Rect& rect);

}  // namespace platform::ui
