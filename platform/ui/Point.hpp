#pragma once

namespace platform::ui {

// A location in points; y grows upwards unless a view says it is flipped.
struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

}  // namespace platform::ui
