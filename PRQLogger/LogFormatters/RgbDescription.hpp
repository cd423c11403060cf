#pragma once

#include <cstdint>
#include <string>

namespace prq {

// "(r: %d, g: %d, b: %d) #%02X%02X%02X" with the components twice, as the colour formatters
// describe a colour; each conversion takes the low 32 bits of its number, so 300 shows as 300
// and 12C, -1 as -1 and FFFFFFFF.
std::string rgbDescription(std::int64_t red, std::int64_t green, std::int64_t blue);

}  // namespace prq
