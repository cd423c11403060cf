#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/Expected.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform::foundation {

// File operations that report failures as values and never leave half-written files behind.
namespace FileSystem {

bool fileExists(const std::filesystem::path& path);
bool isDirectory(const std::filesystem::path& path);

// Creates the folder and any missing parents with `mode`; an existing folder is fine.
Expected<void> createDirectories(const std::filesystem::path& path, mode_t mode = 0755);

Expected<std::string> readFile(const std::filesystem::path& path);
// Everything left to read from an open file; `what` names it in errors.
Expected<std::string> readOpenFile(int fd, const std::string& what);

// Writes `data` to a new temporary file beside `path`, flushes it to disk and renames it over
// `path`: a reader sees the old or the new content, never a mixture, even after a crash.
Expected<void> writeFileAtomically(const std::filesystem::path& path, std::string_view data, mode_t mode);
// The same without flushing to disk: a reader still sees the old or the new content, but a
// crash may lose the change. For what a reboot drops anyway (files in /run, state of a run).
Expected<void> replaceFile(const std::filesystem::path& path, std::string_view data, mode_t mode);

// Writes all of `data` to the open descriptor, going on after partial writes and interruptions,
// so that a reader never sees part of it missing. `what` names the file in the error.
Expected<void> writeAll(int fd, std::string_view data, std::string_view what);

// Creates `path` as a new file with exactly `mode` and writes `data` to it; an existing file or
// a link in its place is an error (EEXIST), never followed or overwritten.
Expected<void> writeNewFile(const std::filesystem::path& path, std::string_view data, mode_t mode);

// Moves `from` to `to`, refusing (EEXIST) when `to` already exists instead of replacing it.
Expected<void> moveItemNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Keeps a file that could not be read as what it should hold: moves it to
// "<file>.corrupt-<seconds since 1970>" and returns that path, so that a fresh file can take
// its place without losing what was there.
Expected<std::filesystem::path> moveAsideDamagedFile(const std::filesystem::path& file);

// Whether a listing gives the hidden entries (names starting with ".") too.
enum class HiddenEntries { skip, include };

// The entries directly inside `folder`, in the system's order; hidden ones only when asked for.
Expected<std::vector<std::filesystem::path>> contentsOfDirectory(const std::filesystem::path& folder,
                                                                 HiddenEntries hidden = HiddenEntries::skip);

// Copies the file `from` to `to` through a temporary file beside `to` that is renamed over it
// once complete and flushed: whatever was at `to` is replaced whole, and a failed copy leaves it
// as it was, with no partial file. The copy gets the mode of a new file (0666 less the umask).
Expected<void> copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes a file, a symbolic link (not what it points to) or an empty folder.
Expected<void> removeItem(const std::filesystem::path& path);

// What the file system tells about an item (symbolic links followed).
struct ItemAttributes {
    std::uint64_t size = 0;
    // None where the file system does not keep it.
    std::optional<dispatch::WallTime> creationDate;
};
Expected<ItemAttributes> attributesOfItem(const std::filesystem::path& path);

}  // namespace FileSystem

}  // namespace platform::foundation
