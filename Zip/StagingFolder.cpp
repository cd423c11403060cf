#include "Zip/StagingFolder.hpp"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvantis::zip {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

namespace {
constexpr std::string_view stagingPrefix = ".unzipping-";

// Removes the files of a staging folder (it holds no folders), then the folder itself.
void removeFolder(int destination, const char* name, int folder) {
    if (DIR* listing = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0))) {
        while (const dirent* item = ::readdir(listing)) {
            const std::string_view entry = item->d_name;
            if (entry != "." && entry != "..") ::unlinkat(folder, item->d_name, 0);
        }
        ::closedir(listing);
    }
    ::unlinkat(destination, name, AT_REMOVEDIR);
}

// A staging folder of ours whose lock nobody holds was left by an unzip that died: its files
// go, provided the name still leads to the folder that was locked.
void removeIfUnowned(int destination, const char* name) {
    FileDescriptor folder(::openat(destination, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat locked {};
    if (!folder.isOpen() || ::fstat(folder.get(), &locked) != 0 || locked.st_uid != ::geteuid()) return;
    if (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) return;
    struct stat named {};
    if (::fstatat(destination, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == locked.st_dev &&
        named.st_ino == locked.st_ino) {
        removeFolder(destination, name, folder.get());
    }
}

void removeUnownedFolders(int destination) {
    DIR* listing = ::fdopendir(::fcntl(destination, F_DUPFD_CLOEXEC, 0));
    if (listing == nullptr) return;
    std::vector<std::string> found;
    while (const dirent* item = ::readdir(listing)) {
        if (std::string_view(item->d_name).starts_with(stagingPrefix)) found.emplace_back(item->d_name);
    }
    ::closedir(listing);
    for (const auto& name : found) removeIfUnowned(destination, name.c_str());
}
}  // namespace

Expected<StagingFolder> StagingFolder::create(int destination) {
    removeUnownedFolders(destination);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // mkdtemp picks a fresh name and makes the folder 0700; it reaches the open destination
        // through its descriptor, so a renamed or replaced path cannot redirect it.
        std::string path = "/proc/self/fd/" + std::to_string(destination) + "/" + std::string(stagingPrefix) + "XXXXXX";
        if (::mkdtemp(path.data()) == nullptr) return Error::fromErrno("Cannot make a folder to unpack into");
        std::string name = path.substr(path.rfind('/') + 1);
        FileDescriptor folder(::openat(destination, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.isOpen()) {
            const Error error = Error::fromErrno("Cannot open the folder to unpack into");
            ::unlinkat(destination, name.c_str(), AT_REMOVEDIR);
            return error;
        }
        // The lock says a live unzip owns the folder. Another unzip's sweep that took it first
        // has removed the folder or is about to: then take a new one. A file system without
        // locks marks none, and its sweeps then never take a folder for unowned either.
        struct stat info {};
        const bool locked = ::flock(folder.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        if (locked && ::fstat(folder.get(), &info) == 0 && info.st_nlink > 0) {
            return StagingFolder(destination, std::move(name), std::move(folder));
        }
    }
    return Error{EAGAIN, "Cannot make a folder to unpack into: it is removed as soon as it is made"};
}

StagingFolder::StagingFolder(int destination, std::string name, FileDescriptor folder)
    : destination_(destination), name_(std::move(name)), folder_(std::move(folder)) {}

StagingFolder::~StagingFolder() {
    if (folder_.isOpen()) removeFolder(destination_, name_.c_str(), folder_.get());
}

FileDescriptor StagingFolder::createFile(std::size_t entry) const {
    return FileDescriptor(
        ::openat(folder_.get(), nameOf(entry).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
}

bool StagingFolder::setPermissions(std::size_t entry, mode_t permissions) const {
    return ::fchmodat(folder_.get(), nameOf(entry).c_str(), permissions, 0) == 0;
}

}  // namespace corvantis::zip
