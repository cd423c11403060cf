#include "platform/foundation/FileHandle.hpp"

#include "platform/foundation/Exception.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation {

namespace {
constexpr int writeFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC;

Error lastError() {
    const int code = errno;
    return Error{code, std::strerror(code)};
}

int openInterruptible(const std::filesystem::path& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
}  // namespace

Expected<std::unique_ptr<FileHandle>> FileHandle::forAppending(const std::filesystem::path& path) {
    const int fd = openInterruptible(path, writeFlags);
    if (fd < 0) return lastError();
    return std::unique_ptr<FileHandle>(new FileHandle(fd, path));
}

Expected<std::unique_ptr<FileHandle>> FileHandle::forWritingEmpty(const std::filesystem::path& path,
                                                                  const std::optional<FileAttributes>& attributes) {
    const int fd = openInterruptible(path, writeFlags | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return lastError();
    std::unique_ptr<FileHandle> handle(new FileHandle(fd, path));
    if (attributes && attributes->posixPermissions && ::fchmod(handle->file_.get(), *attributes->posixPermissions) != 0) {
        return lastError();
    }
    return handle;
}

void FileHandle::writeRest(std::string_view data, ssize_t written) const {
    if (written > 0) data.remove_prefix(static_cast<std::size_t>(written));
    if (auto rest = FileSystem::writeAll(file_.get(), data, path_.native()); !rest) {
        throw Exception(operationExceptionName, rest.error().message);
    }
}

void FileHandle::synchronizeFile() const {
    ::fsync(file_.get());
}

}  // namespace platform::foundation
