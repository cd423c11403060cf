#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace corvantis::zip {

// A hidden folder of our own (0700) inside the destination, where entries are unpacked until
// the whole archive has passed; then they are renamed into place, which needs no copy since the
// folder is on the destination's file system. It holds only files, named by the entry's number,
// and goes with everything in it when the object does.
// The object holds a lock (flock) on the folder for its whole life, so a folder whose lock is
// free was left by an unzip that was killed; making a new one first removes those of the
// destination.
class StagingFolder {
public:
    static platform::foundation::Expected<StagingFolder> create(int destination);
    StagingFolder(StagingFolder&& other) noexcept = default;
    StagingFolder& operator=(StagingFolder&&) = delete;
    ~StagingFolder();

    int descriptor() const { return folder_.get(); }
    static std::string nameOf(std::size_t entry) { return std::to_string(entry); }

    // A new file for the entry, or an unopened descriptor (errno says why).
    platform::foundation::FileDescriptor createFile(std::size_t entry) const;
    bool setPermissions(std::size_t entry, mode_t permissions) const;

private:
    StagingFolder(int destination, std::string name, platform::foundation::FileDescriptor folder);

    int destination_;  // the destination's descriptor, which outlives this object
    std::string name_;
    platform::foundation::FileDescriptor folder_;
};

}  // namespace corvantis::zip
