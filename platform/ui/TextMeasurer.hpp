#pragma once

#include "platform/ui/Size.hpp"
#include "platform/ui/TextAttributes.hpp"

#include <string_view>

namespace platform::ui {

// Measures text as it would be drawn on one line. The process's measurer comes from the
// platform services, so tests can put widths of their own in its place.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;

    // The size of `text` drawn with `attributes`; the system font at 12 points when they name no font.
    virtual Size size(std::string_view text, const TextAttributes& attributes) const = 0;

    // Measures with the measurer of the installed platform services.
    static Size sizeOf(std::string_view text, const TextAttributes& attributes);
};

}  // namespace platform::ui
