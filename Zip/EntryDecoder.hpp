#pragma once

#include "Zip/TraditionalCipher.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace corvantis::zip {

// Turns an entry's raw data (stored or deflated, perhaps encrypted) back into its bytes, keeping
// the CRC-32 of what it gives out, since the library checks nothing in raw mode.
class EntryDecoder {
public:
    // Reads raw entry data: the count, 0 at the end, or a negative code.
    using RawReader = std::function<long(std::span<std::uint8_t>)>;

    // `deflated`: the entry is a deflate stream, else stored; `password`: the entry is
    // encrypted. Throws `ZipError::unzipFail` when inflate cannot start.
    EntryDecoder(std::optional<std::string_view> password, bool deflated);
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    // Reads and decrypts the 12-byte header; false for a short header or a wrong password.
    bool acceptsHeader(const RawReader& readRaw, std::uint8_t checkByte);
    // Fills `output`: the count, 0 at the end, or a negative code for damaged data.
    long read(std::span<std::uint8_t> output, const RawReader& readRaw);
    // The data ended where it should and its CRC-32 is `crc`.
    bool isIntact(std::uint32_t crc) const;

private:
    long readStored(std::span<std::uint8_t> output, const RawReader& readRaw);
    long readDeflated(std::span<std::uint8_t> output, const RawReader& readRaw);

    void decrypt(std::span<std::uint8_t> bytes);

    std::optional<TraditionalCipher> cipher_;
    bool deflated_;
    z_stream stream_{};
    std::vector<std::uint8_t> input_;
    std::uint32_t crc_;
    bool ended_ = false;
};

}  // namespace corvantis::zip
