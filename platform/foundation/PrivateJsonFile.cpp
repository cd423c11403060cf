#include "platform/foundation/PrivateJsonFile.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ReplacementFile.hpp"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation {

namespace {

Expected<void> checkPrivate(const struct stat& info, const std::filesystem::path& path, mode_t forbidden) {
    if (info.st_uid != ::geteuid()) return Error{EPERM, path.string() + " belongs to uid " + std::to_string(info.st_uid)};
    if ((info.st_mode & forbidden) != 0) return Error{EPERM, path.string() + " is open to group or others"};
    return {};
}

}  // namespace

Expected<void> PrivateJsonFile::prepareFolder() const {
    const auto folder = path_.parent_path();
    if (auto made = FileSystem::createDirectories(folder, 0700); !made) return made;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return Error::fromErrno("Cannot inspect " + folder.string());
    if (!S_ISDIR(info.st_mode)) return Error{ENOTDIR, folder.string() + " is not a folder"};
    return checkPrivate(info, folder, S_IWGRP | S_IWOTH);
}

Expected<std::optional<nlohmann::json>> PrivateJsonFile::read() const {
    ReplacementFile::removeStaleTemporaries(path_);
    FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.isOpen()) {
        if (errno == ENOENT) return std::optional<nlohmann::json>();
        if (errno == ELOOP) return Error{ELOOP, path_.string() + " is a symbolic link"};
        return Error::fromErrno("Cannot open " + path_.string());
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return Error::fromErrno("Cannot inspect " + path_.string());
    if (!S_ISREG(info.st_mode)) return Error{EINVAL, path_.string() + " is not a regular file"};
    if (auto owned = checkPrivate(info, path_, S_IRWXG | S_IRWXO); !owned) return owned.error();
    auto content = FileSystem::readOpenFile(file.get(), path_.string());
    if (!content) return content.error();
    auto document = nlohmann::json::parse(content.value(), nullptr, false);
    if (document.is_discarded()) return Error{EINVAL, path_.string() + " is damaged: it is not JSON"};
    return std::optional<nlohmann::json>(std::move(document));
}

Expected<void> PrivateJsonFile::write(const nlohmann::json& document) const {
    return FileSystem::writeFileAtomically(path_, document.dump(2), 0600);
}

}  // namespace platform::foundation
