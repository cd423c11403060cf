#pragma once

#include "Zip/TraditionalCipher.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace corvantis::zip {

// Turns an entry's bytes into the data of an encrypted entry: a raw deflate stream, encrypted
// with the password after the 12-byte header that carries the entry's CRC check bytes.
class EntryEncoder {
public:
    using Sink = std::function<void(std::span<const std::uint8_t>)>;

    // Throws `ZipError::zipFail` when deflate cannot start.
    EntryEncoder(int level, std::string_view password, std::uint32_t crc);
    ~EntryEncoder();
    EntryEncoder(const EntryEncoder&) = delete;
    EntryEncoder& operator=(const EntryEncoder&) = delete;

    // Compresses and encrypts `input`, handing every finished piece to `sink` (the header first);
    // `finish` ends the stream. Throws `ZipError::zipFail` when deflate fails.
    void encode(std::span<const std::uint8_t> input, bool finish, const Sink& sink);

private:
    TraditionalCipher cipher_;
    z_stream stream_{};
    std::vector<std::uint8_t> output_;
    std::uint32_t crc_;
    bool headerWritten_ = false;
};

}  // namespace corvantis::zip
