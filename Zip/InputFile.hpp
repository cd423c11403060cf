#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace corvantis::zip {

// A file being packed, read from its start to its end in pieces.
class InputFile {
public:
    struct Attributes {
        std::uint64_t size = 0;
        platform::dispatch::WallTime modified;
    };
    struct Checksum {
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };

    // None when the file cannot be opened for reading.
    static std::optional<InputFile> open(const std::filesystem::path& path);

    std::optional<Attributes> attributes() const;
    // Reads up to `buffer.size()` bytes: the count, 0 at the end, -1 on a read error.
    long read(std::span<std::uint8_t> buffer);
    // The CRC-32 and length of everything up to the end, read through `buffer`; afterwards the
    // file reads from its start again. None on a read error.
    std::optional<Checksum> checksum(std::span<std::uint8_t> buffer);

private:
    explicit InputFile(platform::foundation::FileDescriptor file) : file_(std::move(file)) {}

    platform::foundation::FileDescriptor file_;
};

}  // namespace corvantis::zip
