#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

    int descriptor() const { return folder_.get(); }

    // Makes the folder `relative` ("" for the destination itself) with its missing parents and
    // opens it; fails for anything that is not a folder inside the destination. The folders it
    // made go to `made`, outermost first, as paths relative to the destination.
    platform::foundation::Expected<platform::foundation::FileDescriptor> makeFolder(
        std::string_view relative, std::vector<std::string>* made = nullptr) const;
    // Whether an item (of any kind, a symbolic link included) is at `relative`; looks without
    // making anything.
    bool holdsItem(std::string_view relative) const;
    // Whether the file system has `bytes` free for this user; true when it cannot tell.
    bool hasRoomFor(std::uint64_t bytes) const;
    // Removes the folders that `open` made, innermost first, as far as they are empty.
    void removeFoldersMadeByOpen() const;

private:
    DestinationFolder(platform::foundation::FileDescriptor folder, std::string canonicalPath,
                      std::vector<std::filesystem::path> madeByOpen);
    bool isInside(int folder) const;
    platform::foundation::Expected<platform::foundation::FileDescriptor> reachFolder(std::string_view relative, bool make,
                                                                                     std::vector<std::string>* made) const;

    platform::foundation::FileDescriptor folder_;
    std::string canonicalPath_;
    std::vector<std::filesystem::path> madeByOpen_;  // innermost first
};

}  // namespace corvantis::zip
