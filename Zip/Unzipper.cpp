#include "Zip/Unzipper.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Progress.hpp"
#include "platform/foundation/ReplacementFile.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

namespace corvantis::zip {

using platform::foundation::Progress;
using platform::foundation::ReplacementFile;

namespace {
constexpr std::size_t readSize = 4096;

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

void reportPermissionFailure(const std::string& fullPath) {
    platform::foundation::consolePrint("Failed to set permissions to file " + fullPath + ", error: " + std::strerror(errno));
}

void failUnless(bool condition) {
    if (!condition) throw ZipError(ZipError::unzipFail);
}
}  // namespace

Unzipper::Unzipper(const Zip::Url& archive, const Zip::Url& destination, bool overwrite, std::optional<std::string> password,
                   std::uint64_t archiveSize)
    : archive_(archive), destination_(destination), overwrite_(overwrite), password_(std::move(password)), archiveSize_(archiveSize),
      buffer_(readSize) {}

void Unzipper::run(const Zip::ProgressHandler& progress, const Zip::FileOutputHandler& fileOutputHandler) {
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(archiveSize_));
    reader_.emplace(archive_.path());
    failUnless(reader_->goToFirstEntry() == UNZ_OK);
    auto folder = DestinationFolder::open(destination_.path());
    failUnless(folder.hasValue());
    folder_.emplace(std::move(folder).value());

    double runningPosition = 0;
    int result = UNZ_OK;
    while (result == UNZ_OK) {
        const auto entry = reader_->currentEntry();
        reader_->openCurrentEntry(entry, password_);
        runningPosition += static_cast<double>(entry.compressedSize);
        failUnless(!entry.name.empty());
        std::string name = platform::foundation::utf8WithReplacements(entry.name);
        const bool isFolder = entry.name.back() == '/' || entry.name.back() == '\\';
        std::replace(name.begin(), name.end(), '\\', '/');
        failUnless(DestinationFolder::acceptsName(name));

        const bool unpacked = isFolder ? unpackFolder(entry, name) : unpackFile(entry, name);
        result = reader_->goToNextEntry();
        if (!unpacked) continue;
        if (progress) progress(runningPosition / static_cast<double>(archiveSize_));
        if (fileOutputHandler) fileOutputHandler(Zip::Url::fileUrl(destination_.appendingPathComponent(name).path()));
        progressObject->setCompletedUnitCount(static_cast<std::int64_t>(runningPosition));
    }
    // Anything but the end of the list means entries were left out.
    failUnless(result == UNZ_END_OF_LIST_OF_FILE);
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(archiveSize_));
}

bool Unzipper::unpackFolder(const ArchiveReader::Entry& entry, const std::string& name) {
    auto made = folder_->makeFolder(name);
    failUnless(made.hasValue());
    failUnless(reader_->read(buffer_) == 0 && reader_->closeCurrentEntry(entry) && entry.uncompressedSize == 0);
    if (const auto permissions = storedPermissions(entry); permissions && ::fchmod(made.value().get(), *permissions) != 0) {
        reportPermissionFailure(destination_.appendingPathComponent(name).path());
    }
    return true;
}

bool Unzipper::unpackFile(const ArchiveReader::Entry& entry, const std::string& name) {
    const auto slash = name.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : name.substr(0, slash);
    const std::string fileName = slash == std::string::npos ? name : name.substr(slash + 1);
    auto made = folder_->makeFolder(parent);
    failUnless(made.hasValue());
    struct stat existing {};
    const bool exists = ::fstatat(made.value().get(), fileName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !overwrite_) {
        reader_->closeCurrentEntry(entry);
        return false;
    }
    auto file = ReplacementFile::create(made.value().get(), fileName);
    failUnless(file.hasValue());
    std::uint64_t written = 0;
    for (long count; (count = reader_->read(buffer_)) > 0; written += static_cast<std::uint64_t>(count)) {
        failUnless(writeAll(file.value().fd(), std::span(buffer_).first(static_cast<std::size_t>(count))));
    }
    failUnless(reader_->closeCurrentEntry(entry) && written == entry.uncompressedSize);
    // A replaced file keeps its own permissions unless the entry brings some.
    auto permissions = storedPermissions(entry);
    if (!permissions && exists && S_ISREG(existing.st_mode)) permissions = existing.st_mode & 0777;
    if (permissions && ::fchmod(file.value().fd(), *permissions) != 0) {
        reportPermissionFailure(destination_.appendingPathComponent(name).path());
    }
    failUnless(file.value().commit().hasValue());
    return true;
}

}  // namespace corvantis::zip
