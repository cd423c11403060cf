#pragma once

#include "platform/foundation/Expected.hpp"

#include <cstddef>
#include <filesystem>
#include <string>
#include <sys/types.h>

namespace corvantis::helper {

// Reading files as root without being led astray by what another user placed in the way.
namespace RootFiles {

// The content of a regular file, refusing a symbolic link in place of the file itself.
platform::foundation::Expected<std::string> readRegularFile(const std::filesystem::path& path);

// The content of a file only the helper's own user (or root) can have written, along its whole
// path: every folder from "/" on is no symbolic link, belongs to root or that user and is
// writable by nobody else (sticky folders such as /tmp excepted); the file itself is regular,
// no symbolic link, owned by that user, not writable by group or others, and has no second name
// (a hard link another user made to a file of ours).
platform::foundation::Expected<std::string> readTrustedFile(const std::filesystem::path& path);

// The content of a file that the user `uid` keeps to themselves, read with that user's
// file-system identity (so a link can lead nowhere the user could not read anyway): in a folder
// of the user's own that is no symbolic link and closed to everyone else, a regular file of the
// user's own, no symbolic link, with one name, that nobody else may write. A file of more than
// `largest` bytes is refused (EFBIG) without being read further: root's memory is not the
// caller's to fill.
platform::foundation::Expected<std::string> readPrivateFileOf(const std::filesystem::path& path, uid_t uid, gid_t gid,
                                                              std::size_t largest);

}  // namespace RootFiles

}  // namespace corvantis::helper
