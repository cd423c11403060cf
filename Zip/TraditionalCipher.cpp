#include "Zip/TraditionalCipher.hpp"

#include <random>
#include <zlib.h>

namespace corvantis::zip {

namespace {
std::uint32_t crc32Byte(std::uint32_t crc, std::uint8_t byte) {
    static const z_crc_t* const table = get_crc_table();
    return static_cast<std::uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}
}  // namespace

TraditionalCipher::TraditionalCipher(std::string_view password) : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
    for (char c : password) updateKeys(static_cast<std::uint8_t>(c));
}

std::uint8_t TraditionalCipher::keyStreamByte() const {
    const std::uint32_t temp = (keys_[2] | 2u) & 0xFFFFu;
    return static_cast<std::uint8_t>((temp * (temp ^ 1u)) >> 8);
}

void TraditionalCipher::updateKeys(std::uint8_t plain) {
    keys_[0] = crc32Byte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFFu)) * 134775813u + 1u;
    keys_[2] = crc32Byte(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
}

void TraditionalCipher::encrypt(std::span<std::uint8_t> bytes) {
    for (auto& byte : bytes) {
        const std::uint8_t plain = byte;
        byte = plain ^ keyStreamByte();
        updateKeys(plain);
    }
}

void TraditionalCipher::decrypt(std::span<std::uint8_t> bytes) {
    for (auto& byte : bytes) {
        byte ^= keyStreamByte();
        updateKeys(byte);
    }
}

std::array<std::uint8_t, TraditionalCipher::headerSize> TraditionalCipher::encryptedHeader(std::uint32_t crc) {
    std::array<std::uint8_t, headerSize> header{};
    std::random_device random;
    for (std::size_t i = 0; i + 2 < headerSize; ++i) header[i] = static_cast<std::uint8_t>(random());
    header[headerSize - 2] = static_cast<std::uint8_t>(crc >> 16);
    header[headerSize - 1] = static_cast<std::uint8_t>(crc >> 24);
    encrypt(header);
    return header;
}

bool TraditionalCipher::acceptsHeader(std::array<std::uint8_t, headerSize> header, std::uint8_t checkByte) {
    decrypt(header);
    return header[headerSize - 1] == checkByte;
}

}  // namespace corvantis::zip
