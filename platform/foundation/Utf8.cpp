#include "platform/foundation/Utf8.hpp"

#include <cstdint>
#include <cstring>

namespace platform::foundation {

namespace {

// Length of the valid sequence that starts at `at`, or 0 when none does.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const std::size_t size = text.size();
    auto continuation = [&](std::size_t index) {
        return index < size && (static_cast<unsigned char>(text[index]) & 0xC0) == 0x80;
    };
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(at + 1) || !continuation(at + 2)) return 0;
        const auto second = static_cast<unsigned char>(text[at + 1]);
        if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
        if (lead == 0xED && second > 0x9F) return 0;  // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(at + 1) || !continuation(at + 2) || !continuation(at + 3)) return 0;
        const auto second = static_cast<unsigned char>(text[at + 1]);
        if (lead == 0xF0 && second < 0x90) return 0;  // overlong
        if (lead == 0xF4 && second > 0x8F) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

char32_t decode(std::string_view text, std::size_t at, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (length == 1) return lead;
    static constexpr unsigned char leadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t value = lead & leadMask[length];
    for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return value;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        // Plain ASCII, eight bytes at a time: most text is nothing else.
        if (std::uint64_t eight; i + sizeof eight <= text.size()) {
            std::memcpy(&eight, text.data() + i, sizeof eight);
            if ((eight & 0x8080808080808080u) == 0) {
                i += sizeof eight;
                continue;
            }
        }
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::vector<char32_t> codePoints(std::string_view text) {
    std::vector<char32_t> result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            result.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        result.push_back(decode(text, i, length));
        i += length;
    }
    return result;
}

std::string utf8WithReplacements(std::string_view text) {
    std::string repaired;
    repaired.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        if (length == 0) {
            repaired += "\xEF\xBF\xBD";
            ++i;
        } else {
            repaired.append(text.substr(i, length));
            i += length;
        }
    }
    return repaired;
}

}  // namespace platform::foundation
