#include "PRQLogger/Destinations/FileDestination.hpp"

#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "PRQLogger/Misc/StandardOutput.hpp"
#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/Exception.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/NumberText.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <typeinfo>

namespace prq {

using platform::foundation::FileAttributes;
using platform::foundation::FileHandle;
using platform::foundation::Url;

namespace {
// Destinations whose own reports this thread is handing to the owner right now. They already
// wrote into their file what belongs there, under their lock.
thread_local std::vector<const FileDestination*> reportingDestinations;

bool isReporting(const FileDestination* destination) {
    return std::find(reportingDestinations.begin(), reportingDestinations.end(), destination) != reportingDestinations.end();
}

class ReportingScope {
public:
    explicit ReportingScope(const FileDestination* destination) { reportingDestinations.push_back(destination); }
    ~ReportingScope() { reportingDestinations.pop_back(); }
    ReportingScope(const ReportingScope&) = delete;
    ReportingScope& operator=(const ReportingScope&) = delete;
};

// Anything at the path, a dangling symbolic link included.
bool somethingExistsAt(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

LogDetails internalRecord(Level level, std::string message) {
    return LogDetails(level, platform::Services::current().wallNow(), std::move(message), "", "", 0,
                      Constants::internalUserInfo());
}
}  // namespace

FileDestination::FileDestination(const std::shared_ptr<PRQLogger>& owner, const FileTarget& writeToFile, std::string identifier,
                                 bool shouldAppend, std::optional<std::string> appendMarker,
                                 std::optional<FileAttributes> attributes)
    : BaseQueuedDestination(owner, std::move(identifier)),
      writeToFileURL_(writeToFile.fileUrl()),
      shouldAppend_(shouldAppend),
      appendMarker_(std::move(appendMarker)),
      fileAttributes_(std::move(attributes)) {
    if (owner) openFile();
}

FileDestination::~FileDestination() {
    auto lock = lockFile();
    closeLocked();
}

void FileDestination::setOwner(const std::shared_ptr<PRQLogger>& owner) {
    BaseQueuedDestination::setOwner(owner);
    if (owner) {
        openFile();
    } else {
        closeFile();
    }
}

std::optional<Url> FileDestination::writeToFileURL() const {
    auto lock = lockFile();
    return writeToFileURL_;
}

void FileDestination::setWriteToFileURL(std::optional<Url> url) {
    {
        auto lock = lockFile();
        writeToFileURL_ = std::move(url);
    }
    openFile();
}

bool FileDestination::isOpen() const {
    auto lock = lockFile();
    return logFileHandle_ != nullptr;
}

bool FileDestination::shouldAppend() const {
    auto lock = lockFile();
    return shouldAppend_;
}

void FileDestination::setShouldAppend(bool shouldAppend) {
    auto lock = lockFile();
    shouldAppend_ = shouldAppend;
}

std::optional<std::string> FileDestination::appendMarker() const {
    auto lock = lockFile();
    return appendMarker_;
}

void FileDestination::setAppendMarker(std::optional<std::string> marker) {
    auto lock = lockFile();
    appendMarker_ = std::move(marker);
}

std::optional<FileAttributes> FileDestination::fileAttributes() const {
    auto lock = lockFile();
    return fileAttributes_;
}

void FileDestination::setFileAttributes(std::optional<FileAttributes> attributes) {
    auto lock = lockFile();
    fileAttributes_ = std::move(attributes);
}

void FileDestination::processInternal(const LogDetails& logDetails) {
    if (isReporting(this)) return;
    BaseQueuedDestination::processInternal(logDetails);
}

void FileDestination::write(const std::string& message) {
    auto lock = lockFile();
    if (logFileHandle_) writeLocked(message);
}

void FileDestination::flush(std::function<void()> closure) {
    auto work = [this, closure = std::move(closure)] {
        {
            auto lock = lockFile();
            if (logFileHandle_) logFileHandle_->synchronizeFile();
        }
        if (closure) closure();
    };
    if (const auto& queue = logQueue()) {
        queue->async([self = shared_from_this(), work = std::move(work)] { work(); });
    } else {
        work();
    }
}

bool FileDestination::rotateFile(const FileTarget& to, const std::function<void(bool)>& closure) {
    Reports reports;
    const bool rotated = rotateLocked(to, reports);
    deliver(reports);
    if (closure) closure(rotated);
    return rotated;
}

std::unique_lock<RecursiveLock> FileDestination::lockFile() const {
    return std::unique_lock(fileLock_);
}

inline void FileDestination::writeWithFeedLocked(std::string_view lineWithFeed) {
    // A plain catch rather than `_try`: this runs for every line, and there is nothing to run finally.
    try {
        logFileHandle_->writeData(lineWithFeed);
    } catch (const platform::foundation::Exception& exception) {
        printLine("Objective-C Exception occurred: " + exception.description());
    }
}

bool FileDestination::writesLinesDirectly(const PRQLogger& owner) const {
    return typeid(*this) == typeid(FileDestination) && writesLinesUnchanged(owner);
}

void FileDestination::writeLineDirectly(std::string_view lineWithFeed) {
    auto lock = lockFile();
    if (logFileHandle_) writeWithFeedLocked(lineWithFeed);
}

void FileDestination::writeStraight(const StraightCall& call) {
    FileDestination::writeLineDirectly(straightLine(call));  // not virtual, so it can be inlined here
}

void FileDestination::openFile(Opening opening) {
    Reports reports;
    {
        auto lock = lockFile();
        openLocked(opening, reports);
    }
    deliver(reports);
}

void FileDestination::closeFile() {
    auto lock = lockFile();
    closeLocked();
}

void FileDestination::openLocked(Opening opening, Reports& reports) {
    const auto holder = owner();
    if (!holder) return;
    closeLocked();
    if (!writeToFileURL_) return;

    const std::string path = writeToFileURL_->path();
    const bool append = shouldAppend_ || opening == Opening::keepingContent;
    auto opened = append ? FileHandle::forAppending(path) : FileHandle::forWritingEmpty(path, fileAttributes_);
    const bool existed = append && (opened || opened.error().code != ENOENT);
    if (append && !existed) opened = FileHandle::forWritingEmpty(path, fileAttributes_);
    const std::string how = existed ? "appending" : "writing";
    if (!opened) {
        reports.push_back({Level::error, "Attempt to open log file for " + how + " failed: " + opened.error().message});
        return;
    }
    logFileHandle_ = std::move(opened).value();
    if (existed && appendMarker_) writeLocked(*appendMarker_);

    holder->logAppDetails(this);
    std::string openedMessage = "PRQLogger " + how + " log to: " + writeToFileURL_->absoluteString();
    // The line belongs in the new file even before the destination is registered.
    const bool registered = holder->destination(identifier()).get() == this;
    if (!registered || isEnabledFor(Level::info)) processInternal(internalRecord(Level::info, openedMessage));
    reports.push_back({Level::info, std::move(openedMessage)});
}

void FileDestination::closeLocked() {
    if (!logFileHandle_) return;
    logFileHandle_->synchronizeFile();
    logFileHandle_.reset();
}

void FileDestination::writeLocked(std::string_view line) {
    // One buffer per thread: the line and its line feed leave in one write, without an
    // allocation. It only grows (up to a limit), so an ordinary line costs one copy and no more.
    thread_local std::string buffer;
    const std::size_t length = line.size() + 1;
    if (buffer.size() < length) buffer.resize(length);
    std::memcpy(buffer.data(), line.data(), line.size());
    buffer[line.size()] = '\n';
    writeWithFeedLocked(std::string_view(buffer.data(), length));
    releaseIfOversized(buffer);
}

bool FileDestination::rotateLocked(const FileTarget& to, Reports& reports, RotationReport rotationReport) {
    auto lock = lockFile();
    const auto archive = to.fileUrl();
    if (!archive || !writeToFileURL_) return false;
    const std::string logPath = writeToFileURL_->path();
    const std::string archivePath = archive->path();
    if (somethingExistsAt(archivePath)) return false;

    closeLocked();
    setHaveLoggedAppDetails(false);
    if (const auto moved = platform::foundation::FileSystem::moveItemNoReplace(logPath, archivePath); !moved) {
        // The log stays where it was: go on writing at its end rather than emptying it.
        openLocked(Opening::keepingContent, reports);
        reports.push_back(
            {Level::error, "Unable to rotate file " + logPath + " to " + archivePath + ": " + std::strerror(moved.error().code)});
        return false;
    }
    tagArchive(*archive, reports);
    const std::string rotatedMessage = "Rotated file " + logPath + " to " + archivePath;
    reports.push_back({Level::info, rotatedMessage});
    openLocked(Opening::asConfigured, reports);
    if (rotationReport == RotationReport::alsoIntoNewFile && logFileHandle_ && isEnabledFor(Level::info)) {
        processInternal(internalRecord(Level::info, rotatedMessage));
    }
    return true;
}

void FileDestination::tagArchive(const Url& archive, Reports& reports) {
    const double seconds = std::chrono::duration<double>(platform::Services::current().wallNow().time_since_epoch()).count();
    const std::pair<std::string_view, std::string> tags[] = {
        {Constants::extendedAttributeArchivedLogIdentifierKey, identifier()},
        {Constants::extendedAttributeArchivedLogTimestampKey, platform::foundation::doubleDescription(seconds)},
    };
    for (const auto& [name, value] : tags) {
        if (const auto tagged = setExtendedAttribute(archive, value, name); !tagged) {
            reports.push_back({Level::error, "Unable to set extended file attributes on file " + archive.path() + ": " +
                                                 tagged.error().message});
            return;
        }
    }
}

void FileDestination::deliver(const Reports& reports) {
    if (reports.empty()) return;
    const auto holder = owner();
    if (!holder) return;
    const ReportingScope scope(this);
    for (const auto& report : reports) holder->_logln(report.message, report.level, this);
}

}  // namespace prq
