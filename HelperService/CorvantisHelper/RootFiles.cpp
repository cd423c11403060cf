#include "HelperService/CorvantisHelper/RootFiles.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"

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

Expected<OpenFile> openRegularFile(const std::filesystem::path& path) {
    OpenFile file{FileDescriptor(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))};
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

}  // namespace

Expected<std::string> readRegularFile(const std::filesystem::path& path) {
    auto file = openRegularFile(path);
    if (!file) return file.error();
    return readAll(file.value(), path);
}

Expected<std::string> readTrustedFile(const std::filesystem::path& path) {
    auto file = openRegularFile(path);
    if (!file) return file.error();
    const auto& info = file.value().info;
    if (info.st_uid != ::geteuid()) {
        return Error{EPERM, path.string() + " belongs to uid " + std::to_string(info.st_uid)};
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Error{EPERM, path.string() + " is writable by group or others"};
    }
    if (info.st_nlink != 1) return Error{EPERM, path.string() + " has more than one name"};
    return readAll(file.value(), path);
}

}  // namespace corvantis::helper::RootFiles
