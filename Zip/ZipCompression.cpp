#include "Zip/ZipCompression.hpp"

namespace corvantis::zip {

std::optional<ZipCompression> ZipCompressionFromRaw(int rawValue) {
    if (rawValue < 0 || rawValue > 3) return std::nullopt;
    return static_cast<ZipCompression>(rawValue);
}

int minizipCompression(ZipCompression compression) {
    switch (compression) {
        case ZipCompression::NoCompression: return 0;
        case ZipCompression::BestSpeed: return 1;
        case ZipCompression::DefaultCompression: return -1;
        case ZipCompression::BestCompression: return 9;
    }
    return -1;
}

}  // namespace corvantis::zip
