#pragma once

#include "platform/ui/Color.hpp"
#include "platform/ui/Font.hpp"
#include "platform/ui/ParagraphStyle.hpp"

#include <optional>

namespace platform::ui {

// The attributes a stretch of text can carry; an absent member is an attribute not set.
struct TextAttributes {
    // Underline styles with AppKit's raw values.
    static constexpr int underlineNone = 0;
    static constexpr int underlineSingle = 1;

    std::optional<Font> font;
    std::optional<Color> foregroundColor;
    std::optional<ParagraphStyle> paragraphStyle;
    std::optional<int> underlineStyle;

    // These attributes with those that `other` sets put over them.
    TextAttributes mergedWith(const TextAttributes& other) const;

    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

}  // namespace platform::ui
