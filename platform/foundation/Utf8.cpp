#include "platform/foundation/Utf8.hpp"

namespace platform::foundation {

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    const std::size_t size = text.size();
    auto continuation = [&](std::size_t at) {
        return at < size && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
    };
    while (i < size) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            if (!continuation(i + 1)) return false;
            i += 2;
            continue;
        }
        if (lead >= 0xE0 && lead <= 0xEF) {
            if (!continuation(i + 1) || !continuation(i + 2)) return false;
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xE0 && second < 0xA0) return false;  // overlong
            if (lead == 0xED && second > 0x9F) return false;  // surrogate
            i += 3;
            continue;
        }
        if (lead >= 0xF0 && lead <= 0xF4) {
            if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3)) return false;
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xF0 && second < 0x90) return false;  // overlong
            if (lead == 0xF4 && second > 0x8F) return false;  // above U+10FFFF
            i += 4;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace platform::foundation
