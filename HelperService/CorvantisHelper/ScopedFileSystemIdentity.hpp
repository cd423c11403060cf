#pragma once

#include "platform/foundation/Expected.hpp"

#include <memory>
#include <sys/types.h>
#include <vector>

namespace corvantis::helper {

// Makes the calling thread touch files as another user (file-system uid and gid, no
// supplementary groups) until the scope ends. The kernel then applies that user's permissions,
// so a symbolic link or folder the user planted can lead nowhere the user could not go anyway.
// Only this thread changes: the rest of the helper stays root.
class ScopedFileSystemIdentity {
public:
    static platform::foundation::Expected<std::unique_ptr<ScopedFileSystemIdentity>> assume(uid_t uid, gid_t gid);
    ~ScopedFileSystemIdentity();
    ScopedFileSystemIdentity(const ScopedFileSystemIdentity&) = delete;
    ScopedFileSystemIdentity& operator=(const ScopedFileSystemIdentity&) = delete;

private:
    ScopedFileSystemIdentity(uid_t previousUid, gid_t previousGid, std::vector<gid_t> previousGroups);
    void restore() const;

    uid_t previousUid_;
    gid_t previousGid_;
    std::vector<gid_t> previousGroups_;
    // Whether anything was changed that the end of the scope must undo.
    bool active_ = false;
};

}  // namespace corvantis::helper
