#include "Zip/InputFile.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace corvantis::zip {

std::optional<InputFile> InputFile::open(const std::filesystem::path& path) {
    platform::foundation::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.isOpen()) return std::nullopt;
    return InputFile(std::move(file));
}

std::optional<InputFile::Attributes> InputFile::attributes() const {
    struct stat info {};
    if (::fstat(file_.get(), &info) != 0) return std::nullopt;
    const auto modified = std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    return Attributes{static_cast<std::uint64_t>(info.st_size), platform::dispatch::WallTime(modified)};
}

long InputFile::read(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t count = ::read(file_.get(), buffer.data(), buffer.size());
        if (count >= 0) return static_cast<long>(count);
        if (errno != EINTR) return -1;
    }
}

std::optional<InputFile::Checksum> InputFile::checksum(std::span<std::uint8_t> buffer) {
    Checksum checksum;
    for (long count; (count = read(buffer)) != 0;) {
        if (count < 0) return std::nullopt;
        checksum.crc = static_cast<std::uint32_t>(crc32_z(checksum.crc, buffer.data(), static_cast<z_size_t>(count)));
        checksum.size += static_cast<std::uint64_t>(count);
    }
    if (::lseek(file_.get(), 0, SEEK_SET) != 0) return std::nullopt;
    return checksum;
}

}  // namespace corvantis::zip
