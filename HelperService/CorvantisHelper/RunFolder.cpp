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

constexpr std::string_view uniqueTail = "-XXXXXX";

}  // namespace

Expected<std::size_t> RunFolder::sweep(const std::filesystem::path& runtimeFolder) {
    if (!std::filesystem::exists(std::filesystem::symlink_status(runtimeFolder))) return std::size_t{0};
    if (auto owned = checkOwnedByUs(runtimeFolder); !owned) {
        return Error{owned.error().code, "Refusing the runtime folder: " + owned.error().message};
    }
    std::error_code error;
    std::size_t removed = 0;
    for (std::filesystem::directory_iterator entries(runtimeFolder, error), end; !error && entries != end;
         entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        const bool madeByUs = name.size() > uniqueTail.size() && name[name.size() - uniqueTail.size()] == '-';
        std::error_code ignored;
        // A link is no folder of ours, whatever it points at; remove_all never follows one inside.
        if (!madeByUs || entries->symlink_status(ignored).type() != std::filesystem::file_type::directory) continue;
        if (std::filesystem::remove_all(entries->path(), ignored) != static_cast<std::uintmax_t>(-1)) ++removed;
    }
    if (error) return Error{error.value(), "Cannot read " + runtimeFolder.string() + ": " + error.message()};
    return removed;
}

Expected<std::unique_ptr<RunFolder>> RunFolder::make(const std::filesystem::path& runtimeFolder, std::string_view prefix) {
    if (auto made = platform::foundation::FileSystem::createDirectories(runtimeFolder, 0755); !made) return made.error();
    if (auto owned = checkOwnedByUs(runtimeFolder); !owned) {
        return Error{owned.error().code, "Refusing the runtime folder: " + owned.error().message};
    }
    std::string pattern = (runtimeFolder / (std::string(prefix) + std::string(uniqueTail))).string();
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
