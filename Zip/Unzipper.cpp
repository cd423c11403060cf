#include "Zip/Unzipper.hpp"

#include "Zip/OrderedWorkQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

namespace corvantis::zip {

using platform::foundation::FileDescriptor;
using platform::foundation::Progress;

namespace {
constexpr std::size_t readSize = std::size_t{1} << 18;
// A small entry reads through a smaller buffer, which the allocator hands out again without
// fresh pages; one that is not there yet would be a page fault per 4 KiB.
constexpr std::size_t smallestRead = std::size_t{1} << 16;
// Entries read ahead of the one being finished, per worker.
constexpr std::size_t entriesPerThread = 2;

std::string fileName(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// The POSIX permissions an entry carries in the upper half of its external attributes; only
// ones that let the owner read are used.
std::optional<mode_t> storedPermissions(const ArchiveReader::Entry& entry) {
    if (entry.externalAttributes == 0) return std::nullopt;
    const auto permissions = static_cast<mode_t>((entry.externalAttributes >> 16) & 0777);
    if (permissions < 0400) return std::nullopt;
    return permissions;
}

void reportPermissionFailure(const std::string& fullPath, const std::string& error) {
    platform::foundation::consolePrint("Failed to set permissions to file " + fullPath + ", error: " + error);
}

void reportPermissionFailure(const std::string& fullPath) {
    reportPermissionFailure(fullPath, std::strerror(errno));
}

std::size_t depthOf(std::string_view name) {
    std::size_t depth = 0;
    for (std::size_t at = 0; at < name.size();) {
        const auto slash = std::min(name.find('/', at), name.size());
        if (slash > at) ++depth;
        at = slash + 1;
    }
    return depth;
}

void failUnless(bool condition) {
    if (!condition) throw ZipError(ZipError::unzipFail);
}
}  // namespace

Unzipper::Unzipper(const Zip::Url& archive, const Zip::Url& destination, bool overwrite, std::optional<std::string> password,
                   std::uint64_t archiveSize)
    : archive_(archive),
      destination_(destination),
      overwrite_(overwrite),
      password_(std::move(password)),
      archiveSize_(archiveSize) {}

void Unzipper::run(const Zip::ProgressHandler& progress, const Zip::FileOutputHandler& fileOutputHandler) {
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(archiveSize_));
    auto reader = std::make_unique<ArchiveReader>(archive_.path());
    failUnless(reader->goToFirstEntry() == UNZ_OK);
    const auto entries = survey(*reader);
    giveBack(std::move(reader));
    auto folder = DestinationFolder::open(destination_.path());
    failUnless(folder.hasValue());
    folder_.emplace(std::move(folder).value());
    std::vector<bool> placed;
    try {
        placed = unpack(entries);
    } catch (const ZipError&) {
        folder_->removeFoldersMadeByOpen();
        throw;
    }
    applyFolderPermissions();
    report(entries, placed, progress, fileOutputHandler, *progressObject);
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(archiveSize_));
}

std::vector<Unzipper::Walked> Unzipper::survey(ArchiveReader& reader) const {
    std::vector<Walked> entries;
    int result = UNZ_OK;
    for (; result == UNZ_OK; result = reader.goToNextEntry()) entries.push_back(walk(reader));
    // Anything but the end of the list means entries were left out.
    failUnless(result == UNZ_END_OF_LIST_OF_FILE);
    // Two entries on one path (names that decode alike, or a name given twice) would leave one
    // of them lost without a word; only a folder may be named again.
    std::set<std::string_view> paths;
    for (const auto& walked : entries) {
        std::string_view path = walked.name;
        while (path.ends_with('/')) path.remove_suffix(1);
        failUnless(paths.insert(path).second || walked.isFolder);
    }
    return entries;
}

Unzipper::Walked Unzipper::walk(const ArchiveReader& reader) {
    Walked walked;
    walked.entry = reader.currentEntry();
    walked.position = reader.currentPosition();
    failUnless(!walked.entry.name.empty());
    walked.name = walked.entry.unicodeName.value_or(platform::foundation::utf8WithReplacements(walked.entry.name));
    walked.isFolder = walked.entry.name.back() == '/' || walked.entry.name.back() == '\\';
    std::replace(walked.name.begin(), walked.name.end(), '\\', '/');
    failUnless(DestinationFolder::acceptsName(walked.name));
    return walked;
}

std::vector<bool> Unzipper::unpack(const std::vector<Walked>& entries) {
    std::uint64_t declared = 0;
    for (const auto& walked : entries) {
        declared += std::min(walked.entry.uncompressedSize, std::numeric_limits<std::uint64_t>::max() - declared);
    }
    failUnless(folder_->hasRoomFor(declared));
    auto staging = StagingFolder::create(folder_->descriptor());
    failUnless(staging.hasValue());
    const auto skipped = stage(entries, staging.value());
    Placement placement(*folder_, staging.value());
    std::vector<bool> placed(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        placed[index] = !skipped[index] && place(entries[index], index, staging.value(), placement);
    }
    placement.commit();
    return placed;
}

std::vector<bool> Unzipper::stage(const std::vector<Walked>& entries, const StagingFolder& staging) {
    std::vector<bool> skipped(entries.size());
    const unsigned threads = threadsFor(archiveSize_);
    OrderedWorkQueue<Staged> queue(threads, entriesPerThread * threads);
    std::size_t checked = 0;
    const auto checkOldest = [&] {
        const Staged staged = queue.takeOldest();
        failUnless(staged.opened && (staged.skipped || staged.intact));
        skipped[checked++] = staged.skipped;
    };
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (queue.full()) checkOldest();
        queue.submit([this, &entries, &staging, index] { return stageEntry(entries[index], index, staging); });
    }
    while (checked < entries.size()) checkOldest();
    return skipped;
}

Unzipper::Staged Unzipper::stageEntry(const Walked& walked, std::size_t index, const StagingFolder& staging) {
    auto reader = takeReader();
    Staged staged;
    if (!reader->goTo(walked.position)) return staged;
    reader->openCurrentEntry(walked.entry, password_);
    staged.opened = true;
    if (walked.isFolder) {
        std::uint8_t probe[1];
        staged.intact = reader->read(probe) == 0 && reader->closeCurrentEntry(walked.entry) && walked.entry.uncompressedSize == 0;
    } else if (!overwrite_ && folder_->holdsItem(walked.name)) {
        reader->closeCurrentEntry(walked.entry);
        staged.skipped = true;
    } else {
        staged.intact = stageFile(*reader, walked, staging.createFile(index));
    }
    giveBack(std::move(reader));
    return staged;
}

bool Unzipper::stageFile(ArchiveReader& reader, const Walked& walked, FileDescriptor file) {
    if (!file.isOpen()) return false;
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::clamp<std::uint64_t>(walked.entry.uncompressedSize + 1, smallestRead, readSize)));
    std::uint64_t left = walked.entry.uncompressedSize;
    for (long count; (count = reader.read(buffer)) > 0; left -= static_cast<std::uint64_t>(count)) {
        // The declared size is all the room the entry was given: data beyond it is never written.
        if (static_cast<std::uint64_t>(count) > left) return false;
        if (!writeAll(file.get(), std::span(buffer).first(static_cast<std::size_t>(count)))) return false;
    }
    return reader.closeCurrentEntry(walked.entry) && left == 0 && ::close(file.release()) == 0;
}

bool Unzipper::place(const Walked& walked, std::size_t index, const StagingFolder& staging, Placement& placement) {
    if (walked.isFolder) {
        failUnless(placement.makeFolder(walked.name).hasValue());
        if (const auto permissions = storedPermissions(walked.entry)) folderPermissions_.push_back({walked.name, *permissions});
        return true;
    }
    const auto slash = walked.name.rfind('/');
    auto folder = placement.makeFolder(slash == std::string::npos ? std::string() : walked.name.substr(0, slash));
    failUnless(folder.hasValue());
    // Looked at again now: an earlier entry of this archive may have placed the file meanwhile.
    struct stat existing {};
    const bool exists = ::fstatat(folder.value().get(), fileName(walked.name).c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !overwrite_) return false;
    failUnless(!exists || !S_ISDIR(existing.st_mode));
    // A replaced file keeps its own permissions unless the entry brings some.
    auto permissions = storedPermissions(walked.entry);
    if (!permissions && exists && S_ISREG(existing.st_mode)) permissions = existing.st_mode & 0777;
    if (permissions && !staging.setPermissions(index, *permissions)) {
        reportPermissionFailure(destination_.appendingPathComponent(walked.name).path());
    }
    failUnless(placement.moveIn(index, folder.value().get(), walked.name, exists));
    return true;
}

void Unzipper::report(const std::vector<Walked>& entries, const std::vector<bool>& placed, const Zip::ProgressHandler& progress,
                      const Zip::FileOutputHandler& fileOutputHandler, Progress& progressObject) const {
    double runningPosition = 0;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        runningPosition += static_cast<double>(entries[index].entry.compressedSize);
        if (!placed[index]) continue;
        if (progress) progress(runningPosition / static_cast<double>(archiveSize_));
        if (fileOutputHandler) {
            fileOutputHandler(Zip::Url::fileUrl(destination_.appendingPathComponent(entries[index].name).path()));
        }
        progressObject.setCompletedUnitCount(static_cast<std::int64_t>(runningPosition));
    }
}

void Unzipper::applyFolderPermissions() {
    // Deepest first, so a folder that will not let its owner in or write is closed only after
    // everything below it; a folder named twice gets the later entry's permissions.
    std::ranges::stable_sort(folderPermissions_, std::greater<>{},
                             [](const FolderPermissions& folder) { return depthOf(folder.name); });
    for (const auto& [name, permissions] : folderPermissions_) {
        const std::string fullPath = destination_.appendingPathComponent(name).path();
        auto folder = folder_->makeFolder(name);
        if (!folder.hasValue()) {
            reportPermissionFailure(fullPath, folder.error().message);
        } else if (::fchmod(folder.value().get(), permissions) != 0) {
            reportPermissionFailure(fullPath);
        }
    }
}

std::unique_ptr<ArchiveReader> Unzipper::takeReader() {
    {
        std::lock_guard lock(readersMutex_);
        if (!idleReaders_.empty()) {
            auto reader = std::move(idleReaders_.back());
            idleReaders_.pop_back();
            return reader;
        }
    }
    return std::make_unique<ArchiveReader>(archive_.path());
}

void Unzipper::giveBack(std::unique_ptr<ArchiveReader> reader) {
    std::lock_guard lock(readersMutex_);
    idleReaders_.push_back(std::move(reader));
}

}  // namespace corvantis::zip
