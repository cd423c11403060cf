#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace corvantis::zip {

// The zip format's traditional password encryption (PKWARE): three 32-bit keys, started from the
// password's bytes, that run along with the plain bytes. Every encrypted entry begins with a
// 12-byte header whose last byte lets a reader tell a wrong password from the right one.
class TraditionalCipher {
public:
    static constexpr std::size_t headerSize = 12;

    explicit TraditionalCipher(std::string_view password);

    // The encrypted header for an entry with CRC-32 `crc`: ten random bytes, then the CRC's two
    // top bytes, which readers compare (most only the last one).
    std::array<std::uint8_t, headerSize> encryptedHeader(std::uint32_t crc);
    // Decrypts an entry's header and answers whether its check byte matches.
    bool acceptsHeader(std::array<std::uint8_t, headerSize> header, std::uint8_t checkByte);

    void encrypt(std::span<std::uint8_t> bytes);
    void decrypt(std::span<std::uint8_t> bytes);

private:
    std::uint8_t keyStreamByte() const;
    void updateKeys(std::uint8_t plain);

    std::uint32_t keys_[3];
};

}  // namespace corvantis::zip
