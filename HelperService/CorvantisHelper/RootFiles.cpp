#include "HelperService/CorvantisHelper/RootFiles.hpp"

#include "HelperService/CorvantisHelper/ScopedFileSystemIdentity.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::helper::RootFiles {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

namespace {

struct OpenFile {
    FileDescriptor descriptor;
    struct stat info {};
};

Expected<OpenFile> openRegularFile(const std::filesystem::path& path, int folder = AT_FDCWD) {
    const auto name = folder == AT_FDCWD ? path : path.filename();
    OpenFile file{FileDescriptor(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))};
    if (!file.descriptor.isOpen()) {
        if (errno == ELOOP) return Error{ELOOP, path.string() + " is a symbolic link"};
        return Error::fromErrno("Cannot open " + path.string());
    }
    if (::fstat(file.descriptor.get(), &file.info) != 0) return Error::fromErrno("Cannot inspect " + path.string());
    if (!S_ISREG(file.info.st_mode)) return Error{EINVAL, path.string() + " is not a regular file"};
    return file;
}

Expected<std::string> readAll(const OpenFile& file, const std::filesystem::path& path) {
    return platform::foundation::FileSystem::readOpenFile(file.descriptor.get(), path.string());
}

// At most `largest` bytes: a file that is larger, or grows past it while it is read, is refused.
Expected<std::string> readAtMost(const OpenFile& file, const std::filesystem::path& path, std::size_t largest) {
    const Error tooLarge{EFBIG, path.string() + " is larger than " + std::to_string(largest) + " bytes"};
    if (static_cast<std::uintmax_t>(file.info.st_size) > largest) return tooLarge;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.descriptor.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return Error::fromErrno("Cannot read " + path.string());
        if (count == 0) return content;
        if (content.size() + static_cast<std::size_t>(count) > largest) return tooLarge;
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

// A file of `owner`'s that nobody else can have written.
Expected<void> requireOwnFile(const OpenFile& file, const std::filesystem::path& path, uid_t owner) {
    const auto& info = file.info;
    if (info.st_uid != owner) return Error{EPERM, path.string() + " belongs to uid " + std::to_string(info.st_uid)};
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return Error{EPERM, path.string() + " is writable by group or others"};
    if (info.st_nlink != 1) return Error{EPERM, path.string() + " has more than one name"};
    return {};
}

// The folder of `path`, opened so that nobody but root (or this process's user) can have put
// anything on the way to it: every folder from "/" on is no symbolic link, belongs to one of
// them and is writable by nobody else, unless it is sticky (like /tmp), where others cannot
// move or remove what is not theirs.
Expected<FileDescriptor> openTrustedFolderOf(const std::filesystem::path& path) {
    if (!path.is_absolute() || !path.has_filename()) return Error{EINVAL, path.string() + " is not an absolute file path"};
    std::filesystem::path reached = "/";
    FileDescriptor folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto parts = path.parent_path().relative_path();
    for (auto part = parts.begin();; ++part) {
        if (!folder.isOpen()) {
            if (errno == ELOOP || errno == ENOTDIR) return Error{errno, reached.string() + " is not a folder"};
            return Error::fromErrno("Cannot open " + reached.string());
        }
        struct stat info {};
        if (::fstat(folder.get(), &info) != 0) return Error::fromErrno("Cannot inspect " + reached.string());
        if (info.st_uid != 0 && info.st_uid != ::geteuid()) {
            return Error{EPERM, reached.string() + " belongs to uid " + std::to_string(info.st_uid)};
        }
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0) {
            return Error{EPERM, reached.string() + " is writable by group or others"};
        }
        if (part == parts.end()) return folder;
        if (*part == "..") return Error{EINVAL, path.string() + " climbs out of a folder"};
        reached /= *part;
        folder = FileDescriptor(::openat(folder.get(), part->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
}

}  // namespace

Expected<std::string> readRegularFile(const std::filesystem::path& path) {
    auto file = openRegularFile(path);
    if (!file) return file.error();
    return readAll(file.value(), path);
}

Expected<std::string> readTrustedFile(const std::filesystem::path& path) {
    auto folder = openTrustedFolderOf(path);
    if (!folder) return folder.error();
    auto file = openRegularFile(path, folder.value().get());
    if (!file) return file.error();
    if (auto own = requireOwnFile(file.value(), path, ::geteuid()); !own) return own.error();
    return readAll(file.value(), path);
}

Expected<std::string> readPrivateFileOf(const std::filesystem::path& path, uid_t uid, gid_t gid, std::size_t largest) {
    if (!path.is_absolute() || !path.has_filename()) return Error{EINVAL, path.string() + " is not an absolute file path"};
    auto identity = ScopedFileSystemIdentity::assume(uid, gid);
    if (!identity) return identity.error();
    const auto folderPath = path.parent_path();
    const FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.isOpen()) {
        if (errno == ELOOP || errno == ENOTDIR) return Error{errno, folderPath.string() + " is not a folder"};
        return Error::fromErrno("Cannot open " + folderPath.string());
    }
    struct stat folderInfo {};
    if (::fstat(folder.get(), &folderInfo) != 0) return Error::fromErrno("Cannot inspect " + folderPath.string());
    if (folderInfo.st_uid != uid) {
        return Error{EPERM, folderPath.string() + " belongs to uid " + std::to_string(folderInfo.st_uid)};
    }
    if ((folderInfo.st_mode & (S_IRWXG | S_IRWXO)) != 0) return Error{EPERM, folderPath.string() + " is open to other users"};
    auto file = openRegularFile(path, folder.get());
    if (!file) return file.error();
    if (auto own = requireOwnFile(file.value(), path, uid); !own) return own.error();
    return readAtMost(file.value(), path, largest);
}

}  // namespace corvantis::helper::RootFiles
