#pragma once

#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"

#include <memory>
#include <mutex>

namespace corvantis::helper {

// Keeps a copy of the resolver file so that it can be put back when a VPN connection left it
// missing. The copy is written through an exclusive temporary file and a rename, and read back
// only when the helper's own user alone can have written it.
class ResolverBackup {
public:
    ResolverBackup(ResolverPaths paths, std::shared_ptr<HelperLog> log);

    void backup();
    // Rewrites both resolver files from the copy when either is missing.
    void restore();

private:
    const ResolverPaths paths_;
    std::shared_ptr<HelperLog> log_;
    // Backup and restore touch the same files; concurrent calls take turns.
    std::mutex mutex_;
};

}  // namespace corvantis::helper
