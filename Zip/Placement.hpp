#pragma once

#include "Zip/DestinationFolder.hpp"
#include "Zip/StagingFolder.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::zip {

// Moves unpacked entries from the staging folder into the destination and remembers every change
// it makes there: folders made, files added, files replaced (the old one waits in the staging
// folder). Unless committed, the destructor undoes the changes, latest first, so an archive
// refused part-way leaves the destination as it was.
class Placement {
public:
    Placement(const DestinationFolder& destination, const StagingFolder& staging)
        : destination_(destination), staging_(staging) {}
    Placement(const Placement&) = delete;
    Placement& operator=(const Placement&) = delete;
    ~Placement();

    // As `DestinationFolder::makeFolder`, remembering the folders made.
    platform::foundation::Expected<platform::foundation::FileDescriptor> makeFolder(std::string_view relative);
    // Moves the staged file of `entry` to `relative`, whose folder is open as `parent`, in place of
    // the item there when `replacing`; false when that fails.
    bool moveIn(std::size_t entry, int parent, const std::string& relative, bool replacing);
    void commit() { changes_.clear(); }

private:
    struct Change {
        enum Kind { madeFolder, addedFile, replacedFile } kind;
        std::string relative;
        std::string kept;  // for a replaced file: where in the staging folder the old one is
    };

    const DestinationFolder& destination_;
    const StagingFolder& staging_;
    std::vector<Change> changes_;
};

}  // namespace corvantis::zip
