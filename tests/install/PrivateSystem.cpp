#include "PrivateSystem.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::testing {

namespace {

constexpr const char* tmp = "/tmp";
const std::filesystem::path work = "/tmp/private-system";

}  // namespace

PrivateSystem::PrivateSystem() {
    if (::mount("private-tmp", tmp, "tmpfs", 0, "mode=1777") != 0) return;
    mounted_.push_back(tmp);
    for (const std::filesystem::path folder : folders) {
        const auto name = folder.relative_path().string();
        std::filesystem::create_directories(work / "upper" / name);
        std::filesystem::create_directories(work / "work" / name);
        const auto options =
            "lowerdir=" + folder.string() + ",upperdir=" + upper(folder).string() + ",workdir=" + (work / "work" / name).string();
        if (::mount("private-system", folder.c_str(), "overlay", 0, options.c_str()) != 0) return;
        mounted_.push_back(folder);
    }
    ready_ = true;
}

PrivateSystem::~PrivateSystem() {
    for (auto folder = mounted_.rbegin(); folder != mounted_.rend(); ++folder) ::umount2(folder->c_str(), MNT_DETACH);
}

std::filesystem::path PrivateSystem::upper(const std::filesystem::path& folder) const {
    return work / "upper" / folder.relative_path();
}

std::vector<std::filesystem::path> PrivateSystem::writtenFiles() const {
    std::vector<std::filesystem::path> written;
    for (const std::filesystem::path folder : folders) {
        const auto root = upper(folder);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            struct stat status {};
            if (::lstat(entry.path().c_str(), &status) != 0 || S_ISDIR(status.st_mode)) continue;
            // A removed file of the real folder shows as a character device 0/0 (a whiteout).
            if (S_ISCHR(status.st_mode) && status.st_rdev == 0) continue;
            written.push_back(folder / std::filesystem::relative(entry.path(), root));
        }
    }
    return written;
}

void PrivateSystem::addUser(const std::string& name, uid_t uid) const {
    const auto home = std::filesystem::path("/home") / name;
    std::ofstream("/etc/passwd", std::ios::app) << name << ":x:" << uid << ":" << uid << "::" << home.string() << ":/bin/sh\n";
    std::filesystem::create_directories(home / ".config");
    for (const auto& folder : {home, home / ".config"}) ::chown(folder.c_str(), uid, uid);
}

}  // namespace corvantis::testing
