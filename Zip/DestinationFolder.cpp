#include "Zip/DestinationFolder.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
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

DestinationFolder::DestinationFolder(FileDescriptor folder, std::string canonicalPath)
    : folder_(std::move(folder)), canonicalPath_(std::move(canonicalPath)) {}

Expected<DestinationFolder> DestinationFolder::open(const std::filesystem::path& path) {
    if (auto made = FileSystem::createDirectories(path, 0777); !made) return made.error();
    FileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen()) return Error::fromErrno("Cannot open the folder " + path.string());
    auto canonical = resolvedPath(folder.get());
    if (!canonical) return Error::fromErrno("Cannot resolve the folder " + path.string());
    return DestinationFolder(std::move(folder), std::move(*canonical));
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

Expected<FileDescriptor> DestinationFolder::makeFolder(std::string_view relative) const {
    FileDescriptor current(::fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0));
    if (!current.isOpen()) return Error::fromErrno("Cannot use the destination folder");
    std::optional<Error> failure;
    eachComponent(relative, [&](std::string_view component) {
        const std::string name(component);
        if (::mkdirat(current.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
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
