#include "Zip/StagingFolder.hpp"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::zip {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

Expected<StagingFolder> StagingFolder::create(int destination) {
    // mkdtemp picks a fresh name and makes the folder 0700; it reaches the open destination
    // through its descriptor, so a renamed or replaced path cannot redirect it.
    std::string path = "/proc/self/fd/" + std::to_string(destination) + "/.unzipping-XXXXXX";
    if (::mkdtemp(path.data()) == nullptr) return Error::fromErrno("Cannot make a folder to unpack into");
    std::string name = path.substr(path.rfind('/') + 1);
    FileDescriptor folder(::openat(destination, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.isOpen()) {
        const Error error = Error::fromErrno("Cannot open the folder to unpack into");
        ::unlinkat(destination, name.c_str(), AT_REMOVEDIR);
        return error;
    }
    return StagingFolder(destination, std::move(name), std::move(folder));
}

StagingFolder::StagingFolder(int destination, std::string name, FileDescriptor folder)
    : destination_(destination), name_(std::move(name)), folder_(std::move(folder)) {}

StagingFolder::~StagingFolder() {
    if (!folder_.isOpen()) return;
    if (DIR* listing = ::fdopendir(::fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0))) {
        while (const dirent* item = ::readdir(listing)) {
            const std::string_view name = item->d_name;
            if (name != "." && name != "..") ::unlinkat(folder_.get(), item->d_name, 0);
        }
        ::closedir(listing);
    }
    ::unlinkat(destination_, name_.c_str(), AT_REMOVEDIR);
}

FileDescriptor StagingFolder::createFile(std::size_t entry) const {
    return FileDescriptor(
        ::openat(folder_.get(), nameOf(entry).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

bool StagingFolder::setPermissions(std::size_t entry, mode_t permissions) const {
    return ::fchmodat(folder_.get(), nameOf(entry).c_str(), permissions, 0) == 0;
}

}  // namespace corvantis::zip
