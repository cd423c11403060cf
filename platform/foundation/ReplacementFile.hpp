#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace platform::foundation {

// A new file that takes the place of `name` in a folder only when it is committed. Until then it
// has no name (where the file system allows; a hidden temporary file beside the target
// elsewhere), so a failed write or a crash never leaves a partial file or harms the file it
// would have replaced. The file is created afresh (never through a symbolic link) with mode 0666
// less the umask, like any new file; the commit names it ".<name>.XXXXXX" for a moment and renames
// it over whatever `name` is, a symbolic link included.
//
// The writer holds an exclusive lock (flock) on the file from its creation until it has been
// renamed or removed, so a named temporary whose lock can be taken belongs to a writer that died.
class ReplacementFile {
public:
    // `directory` is an open folder; the object keeps its own duplicate of it.
    static Expected<ReplacementFile> create(int directory, const std::string& name);
    // Opens the folder of `target` and creates the file there.
    static Expected<ReplacementFile> create(const std::filesystem::path& target);

    ReplacementFile(ReplacementFile&& other) noexcept = default;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ~ReplacementFile();

    int fd() const { return file_.get(); }
    // Closes the file and renames it to `name`.
    Expected<void> commit();

    // Removes at once the temporaries of `target` that dead writers left behind: ours, regular
    // files, whose lock nobody holds. A live writer's temporary stays.
    static void removeStaleTemporaries(const std::filesystem::path& target);

private:
    ReplacementFile(FileDescriptor directory, std::string name, std::string temporaryName, FileDescriptor file);
    void discard();
    Expected<void> nameUnnamedFile();

    FileDescriptor directory_;
    std::string name_;
    std::string temporaryName_;  // empty while the file has no name
    FileDescriptor file_;
};

}  // namespace platform::foundation
