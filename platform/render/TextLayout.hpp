#pragma once

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Size.hpp"

#include <pango/pango.h>

#include <optional>

namespace platform::render {

// Attributed text laid out by Pango with the runs' fonts, colours and underlines and the first
// paragraph style's alignment and line breaking. Without a width it is one line per paragraph;
// with one, lines wrap at it, or are cut with an ellipsis when the style truncates, and clipping
// keeps them whole (the caller clips). With a height too, wrapped text keeps the lines that fit
// whole and ends the last with an ellipsis. Sizes are in points.
class TextLayout {
public:
    TextLayout(const ui::AttributedString& text, std::optional<double> width, std::optional<double> height = std::nullopt);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    PangoLayout* layout() const { return layout_; }
    // The logical size: advances and line heights.
    ui::Size size() const;
    // How far right of the layout's box the text starts when Pango does not align it itself
    // (a clipped line is laid out without a width).
    double alignmentOffset() const { return alignmentOffset_; }

private:
    PangoLayout* layout_;
    double alignmentOffset_ = 0;
};

}  // namespace platform::render
