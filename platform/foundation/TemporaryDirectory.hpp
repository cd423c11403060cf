#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <sys/types.h>

namespace platform::foundation {

// The per-user private temporary folder where log files and exported archives live:
// `$TMPDIR` when it names a folder, else "/tmp/corvantis-<uid>" made with mode 0700.
Expected<std::filesystem::path> privateTemporaryDirectory();

// Makes sure `folder` is a real folder (not a symlink) owned by `owner` and closed to everyone
// else, creating it with mode 0700 when it is missing. Anything else is refused, because another
// user could then read our logs or plant files in them.
Expected<std::filesystem::path> ensurePrivateDirectory(const std::filesystem::path& folder, uid_t owner);

}  // namespace platform::foundation
