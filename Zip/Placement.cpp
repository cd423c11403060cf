#include "Zip/Placement.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <ranges>
#include <unistd.h>

namespace corvantis::zip {

using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

Placement::~Placement() {
    const int destination = destination_.descriptor();
    for (const auto& change : std::ranges::reverse_view(changes_)) {
        const char* relative = change.relative.c_str();
        switch (change.kind) {
            case Change::madeFolder: ::unlinkat(destination, relative, AT_REMOVEDIR); break;
            case Change::addedFile: ::unlinkat(destination, relative, 0); break;
            case Change::replacedFile: ::renameat(staging_.descriptor(), change.kept.c_str(), destination, relative); break;
        }
    }
}

Expected<FileDescriptor> Placement::makeFolder(std::string_view relative) {
    std::vector<std::string> made;
    auto folder = destination_.makeFolder(relative, &made);
    for (auto& path : made) changes_.push_back({Change::madeFolder, std::move(path), {}});
    return folder;
}

bool Placement::moveIn(std::size_t entry, int parent, const std::string& relative, bool replacing) {
    const std::string staged = StagingFolder::nameOf(entry);
    const std::string name = relative.substr(relative.rfind('/') + 1);
    const int staging = staging_.descriptor();
    if (!replacing) {
        if (::renameat(staging, staged.c_str(), parent, name.c_str()) != 0) return false;
        changes_.push_back({Change::addedFile, relative, {}});
        return true;
    }
    // Swapped in one step where the file system can, so the name is never missing; the old item
    // then waits under the staged name.
    if (::renameat2(staging, staged.c_str(), parent, name.c_str(), RENAME_EXCHANGE) == 0) {
        changes_.push_back({Change::replacedFile, relative, staged});
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    const std::string kept = staged + ".old";
    if (::renameat(parent, name.c_str(), staging, kept.c_str()) != 0) return false;
    changes_.push_back({Change::replacedFile, relative, kept});
    return ::renameat(staging, staged.c_str(), parent, name.c_str()) == 0;
}

}  // namespace corvantis::zip
