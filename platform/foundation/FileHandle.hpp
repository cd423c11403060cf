#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

namespace platform::foundation {

// Attributes given to a file when it is created.
struct FileAttributes {
    // Set exactly, whatever the process's umask says; none gives the usual 0644 less the umask.
    std::optional<mode_t> posixPermissions;
};

// A file open for writing. Every write goes to the current end of the file, so a line is never
// laid over another writer's. The last path component must not be a symbolic link: a planted
// link cannot redirect our writes into another file.
class FileHandle {
public:
    static constexpr const char* operationExceptionName = "NSFileHandleOperationException";

    // Opens an existing file, keeping its content; fails with ENOENT when there is none.
    static Expected<std::unique_ptr<FileHandle>> forAppending(const std::filesystem::path& path);
    // Creates the file, or empties an existing one, with `attributes`.
    static Expected<std::unique_ptr<FileHandle>> forWritingEmpty(const std::filesystem::path& path,
                                                                 const std::optional<FileAttributes>& attributes);

    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Writes all of `data`, going on after partial writes and interruptions. Raises an `Exception`
    // named `operationExceptionName` when the system refuses, as the platform's handles do.
    // Inline: log lines come here one by one, and nearly every one leaves in its first write.
    // Const, like the other operations: the handle itself never changes, so threads may share it.
    void writeData(std::string_view data) const {
        const ssize_t written = data.empty() ? 0 : ::write(file_.get(), data.data(), data.size());
        if (written != static_cast<ssize_t>(data.size())) writeRest(data, written);
    }
    // Forces the written data to permanent storage.
    void synchronizeFile() const;

private:
    // What a first write of `data` that wrote `written` (or failed: -1) left to do.
    void writeRest(std::string_view data, ssize_t written) const;

    FileHandle(int fd, std::filesystem::path path) : file_(fd), path_(std::move(path)) {}

    FileDescriptor file_;
    std::filesystem::path path_;
};

}  // namespace platform::foundation
