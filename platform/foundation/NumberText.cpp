#include "platform/foundation/NumberText.hpp"

#include <charconv>
#include <cmath>

namespace platform::foundation {

std::string doubleDescription(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    const double magnitude = std::fabs(value);
    const bool exponent = magnitude != 0.0 && (magnitude >= 1e16 || magnitude < 1e-4);
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, exponent ? std::chars_format::scientific : std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    if (!exponent && text.find('.') == std::string::npos) text += ".0";
    return text;
}

}  // namespace platform::foundation
