#pragma once

namespace platform::ui {

// Text alignment with AppKit's raw values.
enum class TextAlignment : int { left = 0, right = 1, center = 2, justified = 3, natural = 4 };

// How a paragraph is laid out; only the alignment matters to the screens.
struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::natural;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

}  // namespace platform::ui
