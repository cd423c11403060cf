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

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <utility>

namespace prq {

using platform::foundation::FileAttributes;
using platform::foundation::FileHandle;
using platform::foundation::Url;

namespace {
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

void FileDestination::write(const std::string& message) {
    // The line and its line feed leave in one write.
    const ThreadScratch<std::string> line;
    line->assign(message);
    *line += '\n';
    writeLine(*line);
    releaseIfOversized(*line);
}

void FileDestination::writeComposed(const LogCall& call, std::size_t length) {
    call.line[length] = '\n';
    writeLine(std::string_view(call.line.data(), length + 1));
}

void FileDestination::writeLine(std::string_view lineWithFeed) {
    // The write itself takes no lock: the system keeps each write to a file opened for appending
    // whole, and a file that closing or rotation replaces stays open while a line is written to it.
    std::shared_ptr<const FileHandle> handle;
    {
        auto lock = lockFile();
        handle = logFileHandle_;
    }
    if (handle) writeData(*handle, lineWithFeed);
}

void FileDestination::flush(std::function<void()> closure) {
    auto work = [this, closure = std::move(closure)] {
        syncFile();
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

std::unique_lock<std::recursive_mutex> FileDestination::lockFile() const {
    return std::unique_lock(fileLock_);
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

void FileDestination::openLocked(Opening opening, Reports& reports, const std::string& alsoTellNow) {
    const auto holder = owner();
    if (!holder) {
        if (!alsoTellNow.empty()) untoldRotation_ = alsoTellNow;
        return;
    }
    const std::string alsoTell = alsoTellNow.empty() ? std::exchange(untoldRotation_, {}) : alsoTellNow;
    if (!writeToFileURL_) {
        closeLocked();
        return;
    }

    const std::string path = writeToFileURL_->path();
    const bool append = shouldAppend_ || opening == Opening::keepingContent;
    auto opened = append ? FileHandle::forAppending(path) : FileHandle::forWritingEmpty(path, fileAttributes_);
    const bool existed = append && (opened || opened.error().code != ENOENT);
    if (append && !existed) opened = FileHandle::forWritingEmpty(path, fileAttributes_);
    const std::string how = existed ? "appending" : "writing";
    closeLocked();
    if (!opened) {
        reports.push_back({Level::error, "Attempt to open log file for " + how + " failed: " + opened.error().message});
        return;
    }
    logFileHandle_ = std::move(opened).value();
    std::string openedMessage = "PRQLogger " + how + " log to: " + writeToFileURL_->absoluteString();
    // The file begins with these lines: other threads take it once the lock is released.
    if (existed && appendMarker_) writeData(*logFileHandle_, *appendMarker_ + '\n');
    holder->logAppDetails(this);
    // The line belongs in the new file even before the destination is registered.
    const bool registered = holder->destination(identifier()).get() == this;
    if (!registered || isEnabledFor(Level::info)) processInternal(internalRecord(Level::info, openedMessage));
    if (!alsoTell.empty() && (!registered || isEnabledFor(Level::info))) {
        processInternal(internalRecord(Level::info, alsoTell));
    }
    reports.push_back({Level::info, std::move(openedMessage)});
}

void FileDestination::closeLocked() {
    if (!syncFile()) return;
    logFileHandle_.reset();
}

bool FileDestination::syncFile() const {
    auto lock = lockFile();
    if (logFileHandle_) logFileHandle_->synchronizeFile();
    return logFileHandle_ != nullptr;
}

void FileDestination::writeData(const FileHandle& handle, std::string_view lineWithFeed) {
    // A plain catch rather than `_try`: this runs for every line, and there is nothing to run finally.
    try {
        handle.writeData(lineWithFeed);
    } catch (const platform::foundation::Exception& exception) {
        auto lock = lockFile();
        const auto now = platform::Services::current().clock()->now();
        if (lastFailurePrinted_ && now - *lastFailurePrinted_ < std::chrono::seconds(1)) return;
        lastFailurePrinted_ = now;
        printLine("Objective-C Exception occurred: " + exception.description());
    }
}

bool FileDestination::rotateLocked(const FileTarget& to, Reports& reports, RotationReport rotationReport) {
    auto lock = lockFile();
    const auto archive = to.fileUrl();
    if (!archive || !writeToFileURL_) return false;
    const std::string logPath = writeToFileURL_->path();
    const std::string archivePath = archive->path();
    if (somethingExistsAt(archivePath)) return false;

    // The file stays open while it moves: lines written meanwhile end its archive.
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
    openLocked(Opening::asConfigured, reports, rotationReport == RotationReport::alsoIntoNewFile ? rotatedMessage : "");
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
    for (const auto& report : reports) {
        const auto record = internalRecord(report.level, report.message);
        for (const auto& destination : holder->destinations()) {
            if (destination.get() != this && destination->isEnabledFor(report.level)) destination->processInternal(record);
        }
    }
}

}  // namespace prq
