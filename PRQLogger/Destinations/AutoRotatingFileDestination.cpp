#include "PRQLogger/Destinations/AutoRotatingFileDestination.hpp"

#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

namespace prq {

using platform::foundation::Url;
namespace FileSystem = platform::foundation::FileSystem;

namespace {
platform::dispatch::WallTime now() {
    return platform::Services::current().wallNow();
}

double secondsSince1970(platform::dispatch::WallTime time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

std::uint64_t sizeThreshold(std::uint64_t size) {
    return size == 0 ? std::numeric_limits<std::uint64_t>::max() : size;
}

double ageThreshold(double seconds) {
    return seconds < 1.0 ? 0.0 : seconds;
}

// Sets a flag for as long as it lives, then puts the earlier value back.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};
}  // namespace

AutoRotatingFileDestination::AutoRotatingFileDestination(CreationKey, const std::shared_ptr<PRQLogger>& owner,
                                                         const FileTarget& writeToFile, std::string identifier, bool shouldAppend,
                                                         std::optional<std::string> appendMarker,
                                                         std::optional<platform::foundation::FileAttributes> attributes,
                                                         std::uint64_t maxFileSize, double maxTimeInterval,
                                                         DateFormatterPtr archiveSuffixDateFormatter,
                                                         std::uint8_t targetMaxLogFiles)
    : FileDestination(owner, writeToFile, std::move(identifier), true, shouldAppend ? std::move(appendMarker) : std::nullopt,
                      std::move(attributes)),
      targetMaxFileSize_(sizeThreshold(maxFileSize)),
      targetMaxTimeInterval_(ageThreshold(maxTimeInterval)),
      targetMaxLogFiles_(targetMaxLogFiles),
      customArchiveSuffixDateFormatter_(std::move(archiveSuffixDateFormatter)),
      currentLogStartTimeInterval_(secondsSince1970(now())) {
    setShouldAppend(shouldAppend);
}

void AutoRotatingFileDestination::didCreate(CreationKey) {
    std::optional<bool> rotated;
    maintain([&](Reports& reports) {
        const auto url = writeToFileURL();
        if (!url) return;
        fileExtension_ = url->pathExtension();
        baseFileName_ = url->lastPathComponent();
        if (const std::string dotted = "." + fileExtension_; baseFileName_.ends_with(dotted)) {
            baseFileName_.resize(baseFileName_.size() - dotted.size());
        }
        const std::string path = url->path();
        if (const std::string name = baseFileName_ + "." + fileExtension_; path.ends_with(name)) {
            archiveFolderURL_ = Url::fileUrl(path.substr(0, path.size() - name.size()), true);
        }
        if (!archiveFolderURL_) archiveFolderURL_ = defaultLogFolderURL();

        if (const auto attributes = FileSystem::attributesOfItem(path)) {
            currentLogFileSize_ = attributes.value().size;
            currentLogStartTimeInterval_ = secondsSince1970(attributes.value().creationDate.value_or(now()));
        } else {
            report(
                Level::warning,
                std::string("Unable to determine current file attributes of log file: ") + std::strerror(attributes.error().code),
                reports);
        }
        if (!shouldAppend() || shouldRotate()) rotated = rotateNow(reports);
    });
    if (rotated) complete(*rotated);
}

std::uint64_t AutoRotatingFileDestination::targetMaxFileSize() const {
    auto lock = lockFile();
    return targetMaxFileSize_;
}

void AutoRotatingFileDestination::setTargetMaxFileSize(std::uint64_t size) {
    auto lock = lockFile();
    targetMaxFileSize_ = sizeThreshold(size);
}

double AutoRotatingFileDestination::targetMaxTimeInterval() const {
    auto lock = lockFile();
    return targetMaxTimeInterval_;
}

void AutoRotatingFileDestination::setTargetMaxTimeInterval(double interval) {
    auto lock = lockFile();
    targetMaxTimeInterval_ = ageThreshold(interval);
}

std::uint8_t AutoRotatingFileDestination::targetMaxLogFiles() const {
    auto lock = lockFile();
    return targetMaxLogFiles_;
}

void AutoRotatingFileDestination::setTargetMaxLogFiles(std::uint8_t count) {
    maintain([&](Reports& reports) {
        targetMaxLogFiles_ = count;
        cleanUp(reports);
    });
}

std::optional<Url> AutoRotatingFileDestination::archiveFolderURL() const {
    auto lock = lockFile();
    return archiveFolderURL_;
}

void AutoRotatingFileDestination::setArchiveFolderURL(std::optional<Url> folder) {
    maintain([&](Reports& reports) {
        archiveFolderURL_ = std::move(folder);
        if (!archiveFolderURL_) return;
        if (const auto made = FileSystem::createDirectories(archiveFolderURL_->path()); !made) {
            report(Level::error, "Unable to create the archive folder " + archiveFolderURL_->path() + ": " + made.error().message,
                   reports);
        }
    });
}

AutoRotatingFileDestination::Completion AutoRotatingFileDestination::autoRotationCompletion() const {
    auto lock = lockFile();
    return autoRotationCompletion_;
}

void AutoRotatingFileDestination::setAutoRotationCompletion(Completion completion) {
    auto lock = lockFile();
    autoRotationCompletion_ = std::move(completion);
}

AutoRotatingFileDestination::DateFormatterPtr AutoRotatingFileDestination::_customArchiveSuffixDateFormatter() const {
    auto lock = lockFile();
    return customArchiveSuffixDateFormatter_;
}

void AutoRotatingFileDestination::set_customArchiveSuffixDateFormatter(DateFormatterPtr formatter) {
    auto lock = lockFile();
    customArchiveSuffixDateFormatter_ = std::move(formatter);
}

AutoRotatingFileDestination::DateFormatterPtr AutoRotatingFileDestination::archiveSuffixDateFormatter() const {
    static const DateFormatterPtr shared = std::make_shared<const platform::foundation::DateFormatter>("_yyyy-MM-dd_HHmmss");
    auto custom = _customArchiveSuffixDateFormatter();
    return custom ? custom : shared;
}

void AutoRotatingFileDestination::setArchiveSuffixDateFormatter(DateFormatterPtr formatter) {
    set_customArchiveSuffixDateFormatter(std::move(formatter));
}

std::uint64_t AutoRotatingFileDestination::currentLogFileSize() const {
    auto lock = lockFile();
    return currentLogFileSize_;
}

void AutoRotatingFileDestination::setCurrentLogFileSize(std::uint64_t size) {
    auto lock = lockFile();
    currentLogFileSize_ = size;
}

double AutoRotatingFileDestination::currentLogStartTimeInterval() const {
    auto lock = lockFile();
    return currentLogStartTimeInterval_;
}

void AutoRotatingFileDestination::setCurrentLogStartTimeInterval(double seconds) {
    auto lock = lockFile();
    currentLogStartTimeInterval_ = seconds;
}

std::string AutoRotatingFileDestination::baseFileName() const {
    auto lock = lockFile();
    return baseFileName_;
}

void AutoRotatingFileDestination::setBaseFileName(std::string name) {
    auto lock = lockFile();
    baseFileName_ = std::move(name);
}

std::string AutoRotatingFileDestination::fileExtension() const {
    auto lock = lockFile();
    return fileExtension_;
}

void AutoRotatingFileDestination::setFileExtension(std::string extension) {
    auto lock = lockFile();
    fileExtension_ = std::move(extension);
}

std::optional<Url> AutoRotatingFileDestination::defaultLogFolderURL() const {
    // Archives hold what the logs hold: never in a folder that other users can read or plant into.
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) return std::nullopt;
    const auto folder = temporary.value() / "log";
    if (!FileSystem::createDirectories(folder, 0700)) return std::nullopt;
    return Url::fileUrl(folder.string(), true);
}

void AutoRotatingFileDestination::cleanUpLogFiles() {
    maintain([&](Reports& reports) { cleanUp(reports); });
}

void AutoRotatingFileDestination::cleanUp(Reports& reports) {
    const auto archives = archivedFileURLs();
    const std::size_t keep = targetMaxLogFiles();
    if (archives.size() > keep) deleteArchives({archives.begin() + static_cast<std::ptrdiff_t>(keep), archives.end()}, reports);
}

void AutoRotatingFileDestination::purgeArchivedLogFiles() {
    maintain([&](Reports& reports) { deleteArchives(archivedFileURLs(), reports); });
}

std::vector<Url> AutoRotatingFileDestination::archivedFileURLs() const {
    auto lock = lockFile();
    const auto folder = archiveFolder();
    if (!folder) return {};
    const auto entries = FileSystem::contentsOfDirectory(folder->path());
    if (!entries) return {};
    const std::string& archivedBy = identifier();
    std::vector<std::pair<Url, std::string>> archives;
    for (const auto& entry : entries.value()) {
        auto url = Url::fileUrl(entry.string());
        const auto by = extendedAttribute(url, Constants::extendedAttributeArchivedLogIdentifierKey);
        if (!by || !by.value() || *by.value() != archivedBy) continue;
        auto at = extendedAttribute(url, Constants::extendedAttributeArchivedLogTimestampKey);
        if (!at || !at.value() || !platform::foundation::isValidUtf8(*at.value())) continue;
        archives.emplace_back(std::move(url), std::move(*at.value()));
    }
    // By the timestamp's text, as text: newest first while the stamps have equally many digits.
    std::stable_sort(archives.begin(), archives.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<Url> urls;
    urls.reserve(archives.size());
    for (auto& archive : archives) urls.push_back(std::move(archive.first));
    return urls;
}

void AutoRotatingFileDestination::rotateFile() {
    bool rotated = false;
    {
        auto lock = lockFile();
        if (maintaining_) return;  // asked again from within a rotation or clean-up of this thread
    }
    maintain([&](Reports& reports) { rotated = rotateNow(reports); });
    complete(rotated);
}

bool AutoRotatingFileDestination::rotateNow(Reports& reports) {
    const auto startedAt = now();
    // The counters describe the new file from the start, the header that opening writes included.
    setCurrentLogStartTimeInterval(secondsSince1970(startedAt));
    setCurrentLogFileSize(0);
    const auto folder = archiveFolder();
    // Nowhere safe to archive to: the file stays and keeps growing, as after any refusal.
    if (!folder) return false;
    auto archive = folder->appendingPathComponent(baseFileName() + archiveSuffixDateFormatter()->string(startedAt));
    if (const auto extension = fileExtension(); !extension.empty()) archive = archive.appendingPathExtension(extension);
    // The new file tells where the earlier lines went.
    const bool rotated = rotateLocked(archive, reports, RotationReport::alsoIntoNewFile);
    cleanUp(reports);
    return rotated;
}

void AutoRotatingFileDestination::complete(bool rotated) const {
    if (const auto completion = autoRotationCompletion()) completion(rotated);
}

bool AutoRotatingFileDestination::rotateFile(const FileTarget& to, const std::function<void(bool)>& closure) {
    bool rotated = false;
    maintain([&](Reports& reports) { rotated = rotateLocked(to, reports, RotationReport::alsoIntoNewFile); });
    if (closure) closure(rotated);
    return rotated;
}

bool AutoRotatingFileDestination::shouldRotate() const {
    // Asked after every line: the fields themselves, under the lock the writer already holds.
    auto lock = lockFile();
    if (!archiveFolderURL_) return false;
    if (currentLogFileSize_ >= targetMaxFileSize_) return true;
    if (targetMaxTimeInterval_ <= 0) return false;
    return secondsSince1970(now()) - currentLogStartTimeInterval_ >= targetMaxTimeInterval_;
}

void AutoRotatingFileDestination::setOwner(const std::shared_ptr<PRQLogger>& owner) {
    maintain([&](Reports&) { FileDestination::setOwner(owner); });
}

void AutoRotatingFileDestination::setWriteToFileURL(std::optional<Url> url) {
    maintain([&](Reports&) { FileDestination::setWriteToFileURL(std::move(url)); });
}

void AutoRotatingFileDestination::writeLine(std::string_view lineWithFeed) {
    Reports reports;
    bool rotated = false;
    {
        auto lock = lockFile();
        currentLogFileSize_ += lineWithFeed.size();  // its UTF-8 bytes and the line feed
        FileDestination::writeLine(lineWithFeed);
        if (maintaining_ || !shouldRotate()) return;
        const FlagScope maintaining(maintaining_);
        rotated = rotateNow(reports);
    }
    deliver(reports);
    complete(rotated);
}

template <class Work>
void AutoRotatingFileDestination::maintain(Work&& work) {
    Reports reports;
    {
        auto lock = lockFile();
        const FlagScope maintaining(maintaining_);
        std::forward<Work>(work)(reports);
    }
    deliver(reports);
}

std::optional<Url> AutoRotatingFileDestination::archiveFolder() const {
    auto folder = archiveFolderURL();
    return folder ? folder : defaultLogFolderURL();
}

void AutoRotatingFileDestination::deleteArchives(const std::vector<Url>& archives, Reports& reports) {
    for (const auto& archive : archives) {
        if (const auto removed = FileSystem::removeItem(archive.path()); !removed) {
            report(Level::error,
                   "Unable to delete old archived log file " + archive.path() + ": " + std::strerror(removed.error().code),
                   reports);
        }
    }
}

void AutoRotatingFileDestination::report(Level level, std::string message, Reports& reports) {
    if (!owner()) return;
    if (isEnabledFor(level)) processInternal(LogDetails(level, now(), message, "", "", 0, Constants::internalUserInfo()));
    reports.push_back({level, std::move(message)});
}

}  // namespace prq
