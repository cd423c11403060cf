#pragma once

#include "platform/dispatch/Clock.hpp"

#include <memory>
#include <optional>
#include <string>

namespace corvantis::zip {

// One entry to pack from memory. The bytes are shared, not copied.
struct ArchiveFile {
    // The entry's name inside the archive, used as it is ("/" makes folders).
    std::string filename;
    // The entry's contents; none or empty gives no entry.
    std::shared_ptr<const std::string> data;
    // None gives an entry with all date fields zero.
    std::optional<platform::dispatch::WallTime> modifiedTime;
};

}  // namespace corvantis::zip
