#include "PrivateSystem.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <fcntl.h>

#include <fstream>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::testing {

PrivateSystem::PrivateSystem(Scope scope, std::filesystem::path work) : work_(std::move(work)) {
    if (scope == Scope::everything) {
        if (!mountTmpKeepingTheBuild()) return;
        overlaid_ = {"/etc", "/var", "/home", "/root", "/usr/local"};
    } else {
        overlaid_ = {"/etc"};
    }
    for (const auto& folder : overlaid_) {
        const auto name = folder.relative_path().string();
        std::filesystem::create_directories(work_ / "upper" / name);
        std::filesystem::create_directories(work_ / "work" / name);
        const auto options = "lowerdir=" + folder.string() + ",upperdir=" + upper(folder).string() +
                             ",workdir=" + (work_ / "work" / name).string();
        if (::mount("private-system", folder.c_str(), "overlay", 0, options.c_str()) != 0) return;
        mounted_.push_back(folder);
    }
    ready_ = true;
}

bool PrivateSystem::mountTmpKeepingTheBuild() {
    std::error_code error;
    std::set<std::filesystem::path> kept;
    for (const auto& path : {std::filesystem::path(CORVANTIS_SOURCE_DIR), std::filesystem::path(CORVANTIS_BUILD_DIR),
                             std::filesystem::read_symlink("/proc/self/exe", error)}) {
        const auto normal = std::filesystem::weakly_canonical(path, error);
        auto part = normal.begin();
        if (normal.is_absolute() && ++part != normal.end() && *part == "tmp" && ++part != normal.end())
            kept.insert(std::filesystem::path("/tmp") / *part);
    }
    // Held open while the old /tmp is covered, and bound in from there.
    std::vector<std::pair<std::filesystem::path, platform::foundation::FileDescriptor>> held;
    for (const auto& folder : kept)
        held.emplace_back(folder, platform::foundation::FileDescriptor(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)));
    if (::mount("private-tmp", "/tmp", "tmpfs", 0, "mode=1777") != 0) return false;
    mounted_.push_back("/tmp");
    for (const auto& [folder, descriptor] : held) {
        const auto source = "/proc/self/fd/" + std::to_string(descriptor.get());
        if (!descriptor.isOpen() || !std::filesystem::create_directory(folder, error) ||
            ::mount(source.c_str(), folder.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            return false;
        mounted_.push_back(folder);
    }
    return true;
}

PrivateSystem::~PrivateSystem() {
    for (auto folder = mounted_.rbegin(); folder != mounted_.rend(); ++folder) ::umount2(folder->c_str(), MNT_DETACH);
}

std::filesystem::path PrivateSystem::upper(const std::filesystem::path& folder) const {
    return work_ / "upper" / folder.relative_path();
}

std::vector<std::filesystem::path> PrivateSystem::writtenFiles() const {
    std::vector<std::filesystem::path> written;
    for (const auto& folder : overlaid_) {
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
