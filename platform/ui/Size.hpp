#pragma once

namespace platform::ui {

// A width and a height in points.
struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

}  // namespace platform::ui
