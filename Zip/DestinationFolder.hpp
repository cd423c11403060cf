#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <filesystem>
#include <string>
#include <string_view>

namespace corvantis::zip {

// The folder an archive unpacks into, and the guard that keeps every entry inside it. Folders
// are made one component at a time; each one, once made and opened, must resolve to the
// destination or below it (compared by whole components), so a symbolic link planted in the
// destination can never lead a write outside.
class DestinationFolder {
public:
    // Makes the folder when missing and remembers where it really is.
    static platform::foundation::Expected<DestinationFolder> open(const std::filesystem::path& path);

    // Whether an entry name may be unpacked at all: not absolute, no ".." component, no NUL.
    static bool acceptsName(std::string_view name);

    // Makes the folder `relative` ("" for the destination itself) with its missing parents and
    // opens it; fails for anything that is not a folder inside the destination.
    platform::foundation::Expected<platform::foundation::FileDescriptor> makeFolder(std::string_view relative) const;

private:
    DestinationFolder(platform::foundation::FileDescriptor folder, std::string canonicalPath);
    bool isInside(int folder) const;

    platform::foundation::FileDescriptor folder_;
    std::string canonicalPath_;
};

}  // namespace corvantis::zip
