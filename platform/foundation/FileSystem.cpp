#include "platform/foundation/FileSystem.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/ReplacementFile.hpp"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation::FileSystem {

namespace {
void syncDirectory(const std::filesystem::path& folder) {
    FileDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}
}  // namespace

Expected<void> writeAll(int fd, std::string_view data, std::string_view what) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return Error::fromErrno("Cannot write " + std::string(what));
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

bool fileExists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Expected<void> createDirectories(const std::filesystem::path& path, mode_t mode) {
    if (path.empty()) return Error{EINVAL, "Cannot create a folder with an empty path"};
    if (isDirectory(path)) return {};
    const auto parent = path.parent_path();
    if (!parent.empty() && parent != path) {
        if (auto made = createDirectories(parent, mode); !made) return made;
    }
    if (::mkdir(path.c_str(), mode) == 0) return {};
    const int error = errno;
    if (error != EEXIST) return Error::fromErrno("Cannot create folder " + path.string(), error);
    if (!isDirectory(path))
        return Error{ENOTDIR, "Cannot create folder " + path.string() + ": a file of that name is in the way"};
    return {};
}

Expected<std::string> readFile(const std::filesystem::path& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return Error::fromErrno("Cannot open " + path.string());
    return readOpenFile(file.get(), path.string());
}

Expected<std::string> readOpenFile(int fd, const std::string& what) {
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return Error::fromErrno("Cannot read " + what);
        }
        if (count == 0) return content;
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

namespace {
enum class Durability { flushed, notFlushed };

Expected<void> replaceWith(const std::filesystem::path& path, std::string_view data, mode_t mode, Durability durability) {
    auto file = ReplacementFile::create(path);
    if (!file) return file.error();
    if (::fchmod(file.value().fd(), mode) != 0) return Error::fromErrno("Cannot set the mode of the new " + path.string());
    if (auto written = writeAll(file.value().fd(), data, path.string()); !written) return written;
    if (durability == Durability::notFlushed) return file.value().commit();
    if (::fsync(file.value().fd()) != 0) return Error::fromErrno("Cannot flush the new " + path.string());
    if (auto committed = file.value().commit(); !committed) return committed;
    syncDirectory(path.parent_path());
    return {};
}
}  // namespace

Expected<void> writeFileAtomically(const std::filesystem::path& path, std::string_view data, mode_t mode) {
    return replaceWith(path, data, mode, Durability::flushed);
}

Expected<void> replaceFile(const std::filesystem::path& path, std::string_view data, mode_t mode) {
    return replaceWith(path, data, mode, Durability::notFlushed);
}

Expected<void> writeNewFile(const std::filesystem::path& path, std::string_view data, mode_t mode) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!file.isOpen()) return Error::fromErrno("Cannot create " + path.string());
    // The mode asked for, whatever the umask took away.
    if (::fchmod(file.get(), mode) != 0) return Error::fromErrno("Cannot set the mode of " + path.string());
    return writeAll(file.get(), data, path.string());
}

Expected<void> moveItemNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::string what = "Cannot move " + from.string() + " to " + to.string();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS) return Error::fromErrno(what);
    // File systems without the flag: a hard link refuses an existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return Error::fromErrno(what);
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return Error::fromErrno(what, error);
    }
    return {};
}

Expected<std::filesystem::path> moveAsideDamagedFile(const std::filesystem::path& file) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::filesystem::path aside = file.string() + ".corrupt-" + std::to_string(seconds);
    if (auto moved = moveItemNoReplace(file, aside); !moved) return moved.error();
    return aside;
}

Expected<std::vector<std::filesystem::path>> contentsOfDirectory(const std::filesystem::path& folder, HiddenEntries hidden) {
    std::error_code error;
    std::vector<std::filesystem::path> entries;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (hidden == HiddenEntries::include || !entry->path().filename().string().starts_with('.')) {
            entries.push_back(entry->path());
        }
    }
    if (error) return Error{error.value(), "Cannot list " + folder.string() + ": " + error.message()};
    return entries;
}

Expected<void> copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.isOpen()) return Error::fromErrno("Cannot open " + from.string());
    struct stat info {};
    if (::fstat(source.get(), &info) != 0) return Error::fromErrno("Cannot read the attributes of " + from.string());
    if (!S_ISREG(info.st_mode)) return Error{EINVAL, "Cannot copy " + from.string() + ": it is not a file"};
    auto copy = ReplacementFile::create(to);
    if (!copy) return copy.error();
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(source.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            return Error::fromErrno("Cannot read " + from.string());
        }
        if (count == 0) break;
        if (auto written = writeAll(copy.value().fd(), std::string_view(buffer, static_cast<std::size_t>(count)), to.string());
            !written) {
            return written;
        }
    }
    if (::fsync(copy.value().fd()) != 0) return Error::fromErrno("Cannot flush " + to.string());
    if (auto committed = copy.value().commit(); !committed) return committed;
    syncDirectory(to.parent_path());
    return {};
}

Expected<void> removeItem(const std::filesystem::path& path) {
    if (::remove(path.c_str()) != 0) return Error::fromErrno("Cannot remove " + path.string());
    return {};
}

Expected<ItemAttributes> attributesOfItem(const std::filesystem::path& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_SIZE | STATX_BTIME, &info) != 0) {
        return Error::fromErrno("Cannot read the attributes of " + path.string());
    }
    ItemAttributes attributes;
    attributes.size = info.stx_size;
    if ((info.stx_mask & STATX_BTIME) != 0) {
        attributes.creationDate =
            dispatch::WallTime(std::chrono::seconds(info.stx_btime.tv_sec) + std::chrono::nanoseconds(info.stx_btime.tv_nsec));
    }
    return attributes;
}

}  // namespace platform::foundation::FileSystem
