#include "Zip/DestinationFolder.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace corvantis::zip {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

namespace {
// Where an open folder really is, every link resolved.
std::optional<std::string> resolvedPath(int folder) {
    char buffer[PATH_MAX + 1];
    const std::string link = "/proc/self/fd/" + std::to_string(folder);
    const ssize_t length = ::readlink(link.c_str(), buffer, PATH_MAX);
    if (length <= 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

// Calls `visit` with each non-empty component of a "/"-separated path.
template <class Visit>
bool eachComponent(std::string_view path, Visit visit) {
    while (!path.empty()) {
        const auto slash = path.find('/');
        const auto component = path.substr(0, slash);
        if (!component.empty() && !visit(component)) return false;
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return true;
}
}  // namespace

DestinationFolder::DestinationFolder(FileDescriptor folder, std::string canonicalPath,
                                     std::vector<std::filesystem::path> madeByOpen)
    : folder_(std::move(folder)), canonicalPath_(std::move(canonicalPath)), madeByOpen_(std::move(madeByOpen)) {}

Expected<DestinationFolder> DestinationFolder::open(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> missing;
    struct stat info {};
    for (auto level = path; !level.empty() && ::lstat(level.c_str(), &info) != 0 && errno == ENOENT;
         level = level.parent_path()) {
        missing.push_back(level);
        if (level == level.parent_path()) break;
    }
    if (auto made = FileSystem::createDirectories(path, 0777); !made) return made.error();
    FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen()) return Error::fromErrno("Cannot open the folder " + path.string());
    auto canonical = resolvedPath(folder.get());
    if (!canonical) return Error::fromErrno("Cannot resolve the folder " + path.string());
    return DestinationFolder(std::move(folder), std::move(*canonical), std::move(missing));
}

bool DestinationFolder::acceptsName(std::string_view name) {
    if (name.starts_with('/') || name.find('\0') != std::string_view::npos) return false;
    return eachComponent(name, [](std::string_view component) { return component != ".."; });
}

bool DestinationFolder::isInside(int folder) const {
    const auto path = resolvedPath(folder);
    if (!path) return false;
    if (*path == canonicalPath_ || canonicalPath_ == "/") return true;
    return path->size() > canonicalPath_.size() && path->starts_with(canonicalPath_) && (*path)[canonicalPath_.size()] == '/';
}

Expected<FileDescriptor> DestinationFolder::makeFolder(std::string_view relative, std::vector<std::string>* made) const {
    return reachFolder(relative, true, made);
}

bool DestinationFolder::holdsItem(std::string_view relative) const {
    const auto slash = relative.rfind('/');
    const auto parent =
        reachFolder(slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash), false, nullptr);
    if (!parent.hasValue()) return false;
    const std::string name(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
    struct stat info {};
    return ::fstatat(parent.value().get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool DestinationFolder::hasRoomFor(std::uint64_t bytes) const {
    struct statvfs space {};
    if (::fstatvfs(folder_.get(), &space) != 0 || space.f_frsize == 0) return true;
    const std::uint64_t blocks = bytes / space.f_frsize + (bytes % space.f_frsize != 0 ? 1 : 0);
    return blocks <= space.f_bavail;
}

void DestinationFolder::removeFoldersMadeByOpen() const {
    for (const auto& folder : madeByOpen_) {
        if (::rmdir(folder.c_str()) != 0) return;
    }
}

Expected<FileDescriptor> DestinationFolder::reachFolder(std::string_view relative, bool make,
                                                        std::vector<std::string>* made) const {
    FileDescriptor current(::fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0));
    if (!current.isOpen()) return Error::fromErrno("Cannot use the destination folder");
    std::optional<Error> failure;
    std::string reached;
    eachComponent(relative, [&](std::string_view component) {
        const std::string name(component);
        reached += (reached.empty() ? "" : "/") + name;
        if (make && ::mkdirat(current.get(), name.c_str(), 0777) == 0) {
            if (made) made->push_back(reached);
        } else if (make && errno != EEXIST) {
            failure = Error::fromErrno("Cannot create the folder " + std::string(relative));
            return false;
        }
        FileDescriptor next(::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next.isOpen()) {
            failure = Error::fromErrno("Cannot open the folder " + std::string(relative));
            return false;
        }
        if (!isInside(next.get())) {
            failure = Error{EACCES, "The folder " + std::string(relative) + " leads outside the destination"};
            return false;
        }
        current = std::move(next);
        return true;
    });
    if (failure) return *failure;
    return current;
}

}  // namespace corvantis::zip
