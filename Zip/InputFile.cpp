#include "Zip/InputFile.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace corvantis::zip {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

namespace {
Error typeError(mode_t mode) {
    if (S_ISDIR(mode)) return Error{EISDIR, "a folder"};
    if (S_ISFIFO(mode)) return Error{EINVAL, "a FIFO"};
    if (S_ISSOCK(mode)) return Error{EINVAL, "a socket"};
    if (S_ISCHR(mode)) return Error{EINVAL, "a character device"};
    if (S_ISBLK(mode)) return Error{EINVAL, "a block device"};
    return Error{EINVAL, "not a regular file"};
}

// Why a folder on the way to the file did not open as one, links not followed.
Error folderError() {
    if (errno == ELOOP || errno == ENOTDIR) return Error{errno, "reached through a symbolic link or a file"};
    return Error{errno, std::strerror(errno)};
}
}  // namespace

Expected<InputFile> InputFile::open(const std::filesystem::path& path) {
    return openAt(AT_FDCWD, path, 0);
}

Expected<InputFile> InputFile::openBeneath(const std::filesystem::path& folder, const std::filesystem::path& relative) {
    if (relative.empty() || relative.has_root_path()) return Error{EINVAL, "outside its folder"};
    for (const auto& component : relative) {
        if (component == "." || component == ".." || component.empty()) return Error{EINVAL, "outside its folder"};
    }
    constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    FileDescriptor current(::open(folder.c_str(), folderFlags));
    if (!current.isOpen()) return folderError();
    const auto last = std::prev(relative.end());
    for (auto component = relative.begin(); component != last; ++component) {
        const int next = ::openat(current.get(), component->c_str(), folderFlags);
        if (next < 0) return folderError();
        current.reset(next);
    }
    auto opened = openAt(current.get(), *last, O_NOFOLLOW);
    // A second name is a way in from elsewhere: a hard link to a file outside the folder (the
    // settings, the keychain) would bring it into the archive like a symbolic link would.
    struct stat info {};
    if (opened && ::fstat(opened.value().file_.get(), &info) == 0 && info.st_nlink > 1) {
        return Error{EMLINK, "a file with more than one name (a hard link)"};
    }
    return opened;
}

Expected<InputFile> InputFile::openAt(int folder, const std::filesystem::path& name, int flags) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer, maybe forever.
    FileDescriptor file(::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags));
    if (!file.isOpen()) {
        if (errno == ELOOP && (flags & O_NOFOLLOW) != 0) return Error{ELOOP, "a symbolic link"};
        return Error{errno, std::strerror(errno)};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return Error{errno, std::strerror(errno)};
    if (!S_ISREG(info.st_mode)) return typeError(info.st_mode);
    // A regular file's reads never wait; plain blocking reads behave the same on every file system.
    const int status = ::fcntl(file.get(), F_GETFL);
    if (status < 0 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0) return Error{errno, std::strerror(errno)};
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
