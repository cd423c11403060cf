#pragma once

namespace platform::ui {

// Text alignment with AppKit's raw values.
enum class TextAlignment : int { left = 0, right = 1, center = 2, justified = 3, natural = 4 };

// What happens to a line wider than its rectangle, with AppKit's raw values.
enum class LineBreakMode : int {
    byWordWrapping = 0,
    byCharWrapping = 1,
    byClipping = 2,
    byTruncatingHead = 3,
    byTruncatingTail = 4,
    byTruncatingMiddle = 5,
};

// How a paragraph is laid out.
struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::natural;
    LineBreakMode lineBreakMode = LineBreakMode::byWordWrapping;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

}  // namespace platform::ui
