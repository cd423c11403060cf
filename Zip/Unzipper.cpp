#include "Zip/Unzipper.hpp"

#include "Zip/OrderedWorkQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Progress.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

namespace corvantis::zip {

using platform::foundation::Progress;
using platform::foundation::ReplacementFile;

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
    reader_.emplace(archive_.path());
    failUnless(reader_->goToFirstEntry() == UNZ_OK);
    auto folder = DestinationFolder::open(destination_.path());
    failUnless(folder.hasValue());
    folder_.emplace(std::move(folder).value());

    double runningPosition = 0;
    std::deque<Walked> inFlight;
    const unsigned threads = threadsFor(archiveSize_);
    OrderedWorkQueue<Unpacked> queue(threads, entriesPerThread * threads);
    const auto finishOldest = [&] {
        const Walked walked = std::move(inFlight.front());
        inFlight.pop_front();
        runningPosition += static_cast<double>(walked.entry.compressedSize);
        if (!finish(walked, queue.takeOldest())) return;
        if (progress) progress(runningPosition / static_cast<double>(archiveSize_));
        if (fileOutputHandler) fileOutputHandler(Zip::Url::fileUrl(destination_.appendingPathComponent(walked.name).path()));
        progressObject->setCompletedUnitCount(static_cast<std::int64_t>(runningPosition));
    };

    int result = UNZ_OK;
    bool walkFailed = false;
    while (result == UNZ_OK) {
        std::optional<Walked> walked;
        try {
            walked = walk();
        } catch (const ZipError&) {
            // Reported once the entries before this one are finished, as a one-by-one walk would.
            walkFailed = true;
            break;
        }
        if (queue.full()) finishOldest();
        inFlight.push_back(*walked);
        queue.submit([this, walked = std::move(*walked)] { return unpack(walked); });
        result = reader_->goToNextEntry();
    }
    while (!inFlight.empty()) finishOldest();
    // Anything but the end of the list means entries were left out.
    failUnless(!walkFailed && result == UNZ_END_OF_LIST_OF_FILE);
    applyFolderPermissions();
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(archiveSize_));
}

Unzipper::Walked Unzipper::walk() const {
    Walked walked;
    walked.entry = reader_->currentEntry();
    walked.position = reader_->currentPosition();
    failUnless(!walked.entry.name.empty());
    walked.name = platform::foundation::utf8WithReplacements(walked.entry.name);
    walked.isFolder = walked.entry.name.back() == '/' || walked.entry.name.back() == '\\';
    std::replace(walked.name.begin(), walked.name.end(), '\\', '/');
    failUnless(DestinationFolder::acceptsName(walked.name));
    return walked;
}

Unzipper::Unpacked Unzipper::unpack(const Walked& walked) {
    auto reader = takeReader();
    Unpacked unpacked;
    if (!reader->goTo(walked.position)) return unpacked;
    reader->openCurrentEntry(walked.entry, password_);
    if (walked.isFolder) {
        auto made = folder_->makeFolder(walked.name);
        if (!made.hasValue()) return unpacked;
        unpacked.folder.emplace(std::move(made).value());
        unpacked.opened = true;
        std::uint8_t probe[1];
        unpacked.intact =
            reader->read(probe) == 0 && reader->closeCurrentEntry(walked.entry) && walked.entry.uncompressedSize == 0;
    } else {
        unpackFile(*reader, walked, unpacked);
    }
    giveBack(std::move(reader));
    return unpacked;
}

void Unzipper::unpackFile(ArchiveReader& reader, const Walked& walked, Unpacked& unpacked) const {
    const auto slash = walked.name.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : walked.name.substr(0, slash);
    auto made = folder_->makeFolder(parent);
    if (!made.hasValue()) return;
    unpacked.folder.emplace(std::move(made).value());
    unpacked.opened = true;
    struct stat existing {};
    if (!overwrite_ && ::fstatat(unpacked.folder->get(), fileName(walked.name).c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        reader.closeCurrentEntry(walked.entry);
        unpacked.skipped = true;
        return;
    }
    auto file = ReplacementFile::create(unpacked.folder->get(), fileName(walked.name));
    if (!file.hasValue()) return;
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::clamp<std::uint64_t>(walked.entry.uncompressedSize + 1, smallestRead, readSize)));
    std::uint64_t written = 0;
    for (long count; (count = reader.read(buffer)) > 0; written += static_cast<std::uint64_t>(count)) {
        if (!writeAll(file.value().fd(), std::span(buffer).first(static_cast<std::size_t>(count)))) return;
    }
    unpacked.intact = reader.closeCurrentEntry(walked.entry) && written == walked.entry.uncompressedSize;
    unpacked.file.emplace(std::move(file).value());
}

bool Unzipper::finish(const Walked& walked, Unpacked unpacked) {
    failUnless(unpacked.opened);
    const std::string fullPath = destination_.appendingPathComponent(walked.name).path();
    if (walked.isFolder) {
        failUnless(unpacked.intact);
        if (const auto permissions = storedPermissions(walked.entry)) folderPermissions_.push_back({walked.name, *permissions});
        return true;
    }
    if (unpacked.skipped) return false;
    // Looked at again now: an earlier entry of this archive may have written the file meanwhile.
    struct stat existing {};
    const bool exists = ::fstatat(unpacked.folder->get(), fileName(walked.name).c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !overwrite_) return false;
    failUnless(unpacked.intact && unpacked.file);
    // A replaced file keeps its own permissions unless the entry brings some.
    auto permissions = storedPermissions(walked.entry);
    if (!permissions && exists && S_ISREG(existing.st_mode)) permissions = existing.st_mode & 0777;
    if (permissions && ::fchmod(unpacked.file->fd(), *permissions) != 0) reportPermissionFailure(fullPath);
    failUnless(unpacked.file->commit().hasValue());
    return true;
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
