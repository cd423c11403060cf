#include "platform/foundation/Base64.hpp"

#include <array>
#include <cstdint>

namespace platform::foundation::Base64 {

namespace {
constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> decodingTable() {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < alphabet.size(); ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<int8_t>(i);
    return table;
}
}  // namespace

std::string encode(std::string_view bytes) {
    // Written in place into the padded result: log formatters encode every line.
    std::string text((bytes.size() + 2) / 3 * 4, '=');
    char* out = text.data();
    const auto byte = [&](std::size_t index) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[index])); };
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3, out += 4) {
        const uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out[0] = alphabet[group >> 18 & 0x3F];
        out[1] = alphabet[group >> 12 & 0x3F];
        out[2] = alphabet[group >> 6 & 0x3F];
        out[3] = alphabet[group & 0x3F];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        const uint32_t group = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        out[0] = alphabet[group >> 18 & 0x3F];
        out[1] = alphabet[group >> 12 & 0x3F];
        if (rest == 2) out[2] = alphabet[group >> 6 & 0x3F];
    }
    return text;
}

std::optional<std::string> decode(std::string_view text) {
    static constexpr auto table = decodingTable();
    if (text.size() % 4 != 0) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=') return std::nullopt;
        uint32_t group = 0;
        for (int j = 0; j < 4 - padding; ++j) {
            const int8_t value = table[static_cast<unsigned char>(text[i + static_cast<std::size_t>(j)])];
            if (value < 0) return std::nullopt;
            group |= static_cast<uint32_t>(value) << (18 - 6 * j);
        }
        bytes += static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2) bytes += static_cast<char>(group >> 8 & 0xFF);
        if (padding < 1) bytes += static_cast<char>(group & 0xFF);
    }
    return bytes;
}

std::optional<std::string> decodeIgnoringUnknownCharacters(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (const char character : text) {
        if (character == '=' || alphabet.find(character) != std::string_view::npos) kept += character;
    }
    return decode(kept);
}

}  // namespace platform::foundation::Base64
