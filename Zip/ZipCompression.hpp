#pragma once

#include <optional>

namespace corvantis::zip {

// How hard deflate works on every entry. The raw value is the case's position, not its level.
enum class ZipCompression : int { NoCompression = 0, BestSpeed = 1, DefaultCompression = 2, BestCompression = 3 };

std::optional<ZipCompression> ZipCompressionFromRaw(int rawValue);
// The deflate level handed to the library: 0, 1, -1 (zlib's default) or 9.
int minizipCompression(ZipCompression compression);

}  // namespace corvantis::zip
