#include "PRQLogger/LogFormatters/RgbDescription.hpp"

#include <cstdio>

namespace prq {

std::string rgbDescription(std::int64_t red, std::int64_t green, std::int64_t blue) {
    const auto signedLow = [](std::int64_t value) { return static_cast<int>(static_cast<std::int32_t>(value)); };
    const auto unsignedLow = [](std::int64_t value) { return static_cast<unsigned>(static_cast<std::uint32_t>(value)); };
    char text[96];
    std::snprintf(text, sizeof text, "(r: %d, g: %d, b: %d) #%02X%02X%02X", signedLow(red), signedLow(green), signedLow(blue),
                  unsignedLow(red), unsignedLow(green), unsignedLow(blue));
    return text;
}

}  // namespace prq
