#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace corvantis::zip {

// A regular file being packed, read from its start to its end in pieces.
//
// Opening never waits on what it opens and takes nothing but a regular file: the open is
// non-blocking and the type is checked on the descriptor, so a FIFO cannot hang the packing and
// a file swapped after a check cannot slip a device or FIFO in. The errors carry no path; a
// folder is refused with `EISDIR`.
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

    // The file at `path`, symbolic links followed.
    static platform::foundation::Expected<InputFile> open(const std::filesystem::path& path);
    // The file at `relative` inside `folder`, with no symbolic link followed on the way: neither
    // `folder` itself nor any component of `relative` may be one, and `relative` may not step
    // out of `folder`; nor may the file have a name besides this one (a hard link).
    static platform::foundation::Expected<InputFile> openBeneath(const std::filesystem::path& folder,
                                                                 const std::filesystem::path& relative);

    std::optional<Attributes> attributes() const;
    // Reads up to `buffer.size()` bytes: the count, 0 at the end, -1 on a read error.
    long read(std::span<std::uint8_t> buffer);
    // The CRC-32 and length of everything up to the end, read through `buffer`; afterwards the
    // file reads from its start again. None on a read error.
    std::optional<Checksum> checksum(std::span<std::uint8_t> buffer);

private:
    explicit InputFile(platform::foundation::FileDescriptor file) : file_(std::move(file)) {}

    // Opens `name` in the folder `folder` (or relative to the working folder) with `flags` added.
    static platform::foundation::Expected<InputFile> openAt(int folder, const std::filesystem::path& name, int flags);

    platform::foundation::FileDescriptor file_;
};

}  // namespace corvantis::zip
