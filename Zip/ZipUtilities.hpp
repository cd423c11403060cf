#pragma once

#include "platform/foundation/Url.hpp"

#include <optional>
#include <string>
#include <vector>

namespace corvantis::zip {

// Turns the locations given for packing into the flat list of files to store, each with its
// name inside the archive.
class ZipUtilities {
public:
    struct ProcessedFilePath {
        platform::foundation::Url filePathURL;
        std::optional<std::string> fileName;

        std::string filePath() const { return filePathURL.path(); }
    };

    // Entries of an expanded folder start with the folder's own name.
    const bool includeRootDirectory = true;

    ZipUtilities() = default;
    virtual ~ZipUtilities() = default;

    // A file (or a location where nothing is) gives one item named by its last component; a
    // folder gives the items of `expandDirectoryFilePath`. Locations keep their order.
    virtual std::vector<ProcessedFilePath> processZipPaths(const std::vector<platform::foundation::Url>& paths);
    // Every non-folder item anywhere below the folder, hidden ones included, named
    // "<folder name>/<path below the folder>". Each folder's items come in byte order of their
    // names, a sub-folder's items right after the sub-folder's place. Symbolic links are not
    // walked into; one that leads to a folder is left out, any other is an item. A folder that
    // cannot be read adds nothing.
    virtual std::vector<ProcessedFilePath> expandDirectoryFilePath(const platform::foundation::Url& directory);
};

}  // namespace corvantis::zip
