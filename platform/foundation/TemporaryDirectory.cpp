#include "platform/foundation/TemporaryDirectory.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation {

Expected<std::filesystem::path> ensurePrivateDirectory(const std::filesystem::path& folder, uid_t owner) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return Error::fromErrno("Cannot create the private temporary folder " + folder.string());
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return Error::fromErrno("Cannot inspect the private temporary folder " + folder.string());
    }
    if (S_ISLNK(info.st_mode)) {
        return Error{ELOOP, "The private temporary folder " + folder.string() + " is a symbolic link; refusing to use it"};
    }
    if (!S_ISDIR(info.st_mode)) {
        return Error{ENOTDIR, "The private temporary folder " + folder.string() + " is not a folder"};
    }
    if (info.st_uid != owner) {
        return Error{EPERM, "The private temporary folder " + folder.string() + " belongs to user " +
                                std::to_string(info.st_uid) + "; refusing to use it"};
    }
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        return Error::fromErrno("Cannot close the private temporary folder " + folder.string() + " to other users");
    }
    return folder;
}

Expected<std::filesystem::path> privateTemporaryDirectory() {
    const char* configured = std::getenv("TMPDIR");
    if (configured != nullptr && *configured != '\0' && FileSystem::isDirectory(configured)) {
        return std::filesystem::path(configured);
    }
    const uid_t uid = ::getuid();
    return ensurePrivateDirectory("/tmp/corvantis-" + std::to_string(uid), uid);
}

}  // namespace platform::foundation
