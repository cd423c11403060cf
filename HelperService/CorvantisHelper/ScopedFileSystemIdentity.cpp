#include "HelperService/CorvantisHelper/ScopedFileSystemIdentity.hpp"

#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

// The C library changes the groups of every thread; the system call changes this thread's only.
int setThreadGroups(const std::vector<gid_t>& groups) {
    return static_cast<int>(::syscall(SYS_setgroups, groups.size(), groups.data()));
}

uid_t currentFileSystemUid() {
    return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
}

gid_t currentFileSystemGid() {
    return static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1)));
}

}  // namespace

Expected<std::unique_ptr<ScopedFileSystemIdentity>> ScopedFileSystemIdentity::assume(uid_t uid, gid_t gid) {
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, groups.data()) < 0) return Error::fromErrno("Cannot read the helper's groups");
    std::unique_ptr<ScopedFileSystemIdentity> scope(
        new ScopedFileSystemIdentity(currentFileSystemUid(), currentFileSystemGid(), std::move(groups)));
    if (uid == scope->previousUid_ && gid == scope->previousGid_) return scope;
    scope->active_ = true;
    const bool changed = setThreadGroups({}) == 0 && (::setfsgid(gid), currentFileSystemGid() == gid) &&
                         (::setfsuid(uid), currentFileSystemUid() == uid);
    if (!changed) {
        scope->restore();
        return Error{EPERM, "Cannot act as user " + std::to_string(uid)};
    }
    return scope;
}

ScopedFileSystemIdentity::ScopedFileSystemIdentity(uid_t previousUid, gid_t previousGid, std::vector<gid_t> previousGroups)
    : previousUid_(previousUid), previousGid_(previousGid), previousGroups_(std::move(previousGroups)) {}

ScopedFileSystemIdentity::~ScopedFileSystemIdentity() {
    if (active_) restore();
}

void ScopedFileSystemIdentity::restore() const {
    ::setfsuid(previousUid_);
    ::setfsgid(previousGid_);
    setThreadGroups(previousGroups_);
}

}  // namespace corvantis::helper
