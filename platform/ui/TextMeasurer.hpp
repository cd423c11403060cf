#pragma once

#include "platform/ui/Size.hpp"
#include "platform/ui/TextAttributes.hpp"

#include <memory>
#include <string_view>

namespace platform::ui {

// Measures text as it would be drawn on one line. The process's measurer comes from the
// platform services, so tests can put widths of their own in its place.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;

    // The size of `text` drawn with `attributes`; the system font at 12 points when they name no font.
    virtual Size size(std::string_view text, const TextAttributes& attributes) const = 0;
    // The size of `text` wrapped at `width` between words (a word wider than the width gets a
    // line of its own). By default lines are filled word by word with `size`.
    virtual Size wrappedSize(std::string_view text, const TextAttributes& attributes, double width) const;

    // Measure with the measurer of the installed platform services.
    static Size sizeOf(std::string_view text, const TextAttributes& attributes);
    static Size wrappedSizeOf(std::string_view text, const TextAttributes& attributes, double width);

    // The measurer the platform services use when none is installed: the one a drawing layer
    // sets, so that measured widths match drawn text, else one from the font files' own metrics.
    static std::shared_ptr<TextMeasurer> processDefault();
    static void setProcessDefault(std::shared_ptr<TextMeasurer> measurer);
};

}  // namespace platform::ui
