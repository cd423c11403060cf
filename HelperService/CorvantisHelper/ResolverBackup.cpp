#include "HelperService/CorvantisHelper/ResolverBackup.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "HelperService/CorvantisHelper/TunnelResolver.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <sys/stat.h>
#include <vector>

namespace corvantis::helper {

namespace FileSystem = platform::foundation::FileSystem;

ResolverBackup::ResolverBackup(ResolverPaths paths, std::shared_ptr<HelperLog> log)
    : paths_(std::move(paths)), log_(std::move(log)) {}

void ResolverBackup::backup() {
    std::lock_guard lock(mutex_);
    log_->notice("Backing up resolv.conf");
    if (!FileSystem::fileExists(paths_.var)) {
        log_->notice("resolv.conf is missing. Can't create backup");
        return;
    }
    auto content = FileSystem::readFile(paths_.var);
    if (!content) {
        log_->notice("Can't backup resolv.conf file: " + content.error().message);
        return;
    }
    // The tunnel's own file is no configuration to come back to.
    if (content.value().starts_with(TunnelResolver::marker)) {
        log_->notice("resolv.conf holds the tunnel's name servers: the backup stays as it is");
        return;
    }
    if (auto written = FileSystem::writeFileAtomically(paths_.backup, content.value(), 0644); !written) {
        log_->notice("Can't backup resolv.conf file: " + written.error().message);
        return;
    }
    log_->notice("Created " + paths_.backup.string() + " backup");
}

void ResolverBackup::restore() {
    std::lock_guard lock(mutex_);
    if (FileSystem::fileExists(paths_.etc) && FileSystem::fileExists(paths_.var)) return;
    struct stat info {};
    if (::lstat(paths_.backup.c_str(), &info) != 0) {
        log_->notice("resolv.conf is missing. No backup file found");
        return;
    }
    auto content = RootFiles::readTrustedFile(paths_.backup);
    if (!content) {
        log_->notice("Can't read corvantis_resolv.conf backup file: " + content.error().message);
        return;
    }
    std::vector<std::filesystem::path> targets{paths_.etc};
    if (paths_.var != paths_.etc) targets.push_back(paths_.var);
    for (const auto& target : targets) {
        if (auto written = FileSystem::writeFileAtomically(target, content.value(), 0644); !written) {
            log_->notice("Can't restore " + target.string() + ": " + written.error().message);
            return;
        }
    }
    log_->notice("resolv.conf was missing. Restored from backup file");
}

}  // namespace corvantis::helper
