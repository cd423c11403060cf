#include "HelperService/CorvantisHelper/RunFolder.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

Expected<void> checkOwnedByUs(const std::filesystem::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) return Error::fromErrno("Cannot inspect " + folder.string());
    if (!S_ISDIR(info.st_mode)) return Error{ENOTDIR, folder.string() + " is not a folder"};
    if (info.st_uid != ::geteuid()) {
        return Error{EPERM, folder.string() + " belongs to uid " + std::to_string(info.st_uid)};
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return Error{EPERM, folder.string() + " is writable by group or others"};
    return {};
}

}  // namespace

Expected<std::unique_ptr<RunFolder>> RunFolder::make(const std::filesystem::path& runtimeFolder, std::string_view prefix) {
    if (auto made = platform::foundation::FileSystem::createDirectories(runtimeFolder, 0755); !made) return made.error();
    if (auto owned = checkOwnedByUs(runtimeFolder); !owned) {
        return Error{owned.error().code, "Refusing the runtime folder: " + owned.error().message};
    }
    std::string pattern = (runtimeFolder / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return Error::fromErrno("Cannot create a folder in " + runtimeFolder.string());
    return std::unique_ptr<RunFolder>(new RunFolder(pattern));
}

RunFolder::~RunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Expected<std::filesystem::path> RunFolder::write(std::string_view name, std::string_view content, mode_t mode) const {
    const auto file = path_ / name;
    if (auto written = platform::foundation::FileSystem::writeNewFile(file, content, mode); !written) return written.error();
    return file;
}

}  // namespace corvantis::helper
