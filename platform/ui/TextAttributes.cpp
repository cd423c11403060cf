#include "platform/ui/TextAttributes.hpp"

namespace platform::ui {

TextAttributes TextAttributes::mergedWith(const TextAttributes& other) const {
    TextAttributes merged = *this;
    if (other.font) merged.font = other.font;
    if (other.foregroundColor) merged.foregroundColor = other.foregroundColor;
    if (other.paragraphStyle) merged.paragraphStyle = other.paragraphStyle;
    if (other.underlineStyle) merged.underlineStyle = other.underlineStyle;
    return merged;
}

}  // namespace platform::ui
