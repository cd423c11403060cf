#pragma once

#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Misc/Creation.hpp"
#include "platform/foundation/DateFormatter.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace prq {

// A log file kept bounded in size and age. After each line it checks the bytes written to the
// current file and the file's age against two thresholds; when one is reached the file moves into
// the archive folder as `baseFileName` + the time ("_2026-12-07_221805") + "." + `fileExtension`,
// a new file starts, and this destination's archives beyond the newest `targetMaxLogFiles` are
// deleted. Archives are recognised by the extended attributes that rotation puts on them: who
// archived them (the destination's identifier) and when.
//
// Made with `create<AutoRotatingFileDestination>(owner, file, …)`. Writes, rotation and clean-up
// run under the file's lock; lines written while the destination maintains itself under it (the
// new file's header, its own reports) are counted but start no rotation of their own. Reports to
// the owner's other destinations and the completion callback follow once the lock is released.
class AutoRotatingFileDestination : public FileDestination {
public:
    static constexpr std::uint64_t autoRotatingFileDefaultMaxFileSize = 1048576;
    static constexpr double autoRotatingFileDefaultMaxTimeInterval = 600.0;

    using DateFormatterPtr = std::shared_ptr<const platform::foundation::DateFormatter>;
    using Completion = std::function<void(bool)>;

    // The log file is always opened for appending; with `shouldAppend` false the earlier content
    // is archived at once instead of emptied. `maxFileSize` 0 and `maxTimeInterval` below 1
    // switch that threshold off.
    AutoRotatingFileDestination(CreationKey key, const std::shared_ptr<PRQLogger>& owner, const FileTarget& writeToFile,
                                std::string identifier = "", bool shouldAppend = false,
                                std::optional<std::string> appendMarker = std::string(defaultAppendMarker),
                                std::optional<platform::foundation::FileAttributes> attributes = std::nullopt,
                                std::uint64_t maxFileSize = autoRotatingFileDefaultMaxFileSize,
                                double maxTimeInterval = autoRotatingFileDefaultMaxTimeInterval,
                                DateFormatterPtr archiveSuffixDateFormatter = nullptr, std::uint8_t targetMaxLogFiles = 10);
    // Derives the archive names and folder from the log file, takes the current file's size and
    // creation time, and rotates when the file is not to be continued or is already due.
    void didCreate(CreationKey);

    // Bytes; setting 0 switches size rotation off.
    virtual std::uint64_t targetMaxFileSize() const;
    virtual void setTargetMaxFileSize(std::uint64_t size);
    // Seconds; setting less than 1 switches age rotation off.
    virtual double targetMaxTimeInterval() const;
    virtual void setTargetMaxTimeInterval(double interval);
    // How many archives are kept; setting it cleans up at once.
    virtual std::uint8_t targetMaxLogFiles() const;
    virtual void setTargetMaxLogFiles(std::uint8_t count);
    // Setting a folder creates it.
    virtual std::optional<platform::foundation::Url> archiveFolderURL() const;
    virtual void setArchiveFolderURL(std::optional<platform::foundation::Url> folder);
    // Told after each rotation whether the file was archived.
    virtual Completion autoRotationCompletion() const;
    virtual void setAutoRotationCompletion(Completion completion);
    virtual DateFormatterPtr _customArchiveSuffixDateFormatter() const;
    virtual void set_customArchiveSuffixDateFormatter(DateFormatterPtr formatter);
    // The custom formatter, else the shared "_yyyy-MM-dd_HHmmss" one; setting none returns to it.
    virtual DateFormatterPtr archiveSuffixDateFormatter() const;
    virtual void setArchiveSuffixDateFormatter(DateFormatterPtr formatter);
    // The bytes written to the current file (line feeds included) and when it started, in
    // seconds since 1970.
    virtual std::uint64_t currentLogFileSize() const;
    virtual void setCurrentLogFileSize(std::uint64_t size);
    virtual double currentLogStartTimeInterval() const;
    virtual void setCurrentLogStartTimeInterval(double seconds);
    virtual std::string baseFileName() const;
    virtual void setBaseFileName(std::string name);
    virtual std::string fileExtension() const;
    virtual void setFileExtension(std::string extension);
    // The folder "log" in the per-user private temporary folder, created on every read; none
    // when the private folder cannot be had safely.
    virtual std::optional<platform::foundation::Url> defaultLogFolderURL() const;

    // Deletes this destination's archives beyond the newest `targetMaxLogFiles`.
    virtual void cleanUpLogFiles();
    // Deletes all of this destination's archives.
    virtual void purgeArchivedLogFiles();
    // This destination's archives, newest first.
    virtual std::vector<platform::foundation::Url> archivedFileURLs() const;
    // Archives the current file now, whatever the thresholds.
    virtual void rotateFile();
    // The file destination's rotation to a path of the caller's, under the same guard; the
    // counters stay as they are.
    bool rotateFile(const FileTarget& to, const std::function<void(bool)>& closure = {});
    // Whether a threshold is reached; asks neither the file system nor, with age rotation off,
    // the clock.
    virtual bool shouldRotate() const;

    // Open the file like the file destination, without rotating while its header goes in.
    void setOwner(const std::shared_ptr<PRQLogger>& owner) override;
    void setWriteToFileURL(std::optional<platform::foundation::Url> url) override;

protected:
    // Counts the line, writes it and rotates when a threshold is reached.
    void writeLine(std::string_view lineWithFeed) override;

private:
    // Runs `work(reports)` under the file's lock, as maintenance: lines written meanwhile start no
    // rotation. The reports go to the other destinations once the lock is released.
    template <class Work>
    void maintain(Work&& work);
    // Archives the current file under a time-stamped name and cleans up; whether it was moved.
    bool rotateNow(Reports& reports);
    void cleanUp(Reports& reports);
    std::optional<platform::foundation::Url> archiveFolder() const;
    void deleteArchives(const std::vector<platform::foundation::Url>& archives, Reports& reports);
    // Into this file now, to the others with `reports`.
    void report(Level level, std::string message, Reports& reports);
    void complete(bool rotated) const;

    std::uint64_t targetMaxFileSize_;
    double targetMaxTimeInterval_;
    std::uint8_t targetMaxLogFiles_;
    std::optional<platform::foundation::Url> archiveFolderURL_;
    Completion autoRotationCompletion_;
    DateFormatterPtr customArchiveSuffixDateFormatter_;
    std::uint64_t currentLogFileSize_ = 0;
    double currentLogStartTimeInterval_;
    std::string baseFileName_ = "prqlogger";
    std::string fileExtension_ = "log";

    bool maintaining_ = false;  // guarded by the file's lock
};

}  // namespace prq
