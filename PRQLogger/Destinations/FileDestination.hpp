#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"
#include "PRQLogger/Misc/FileTarget.hpp"
#include "PRQLogger/Misc/RecursiveLock.hpp"
#include "platform/foundation/FileHandle.hpp"
#include "platform/foundation/Url.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace prq {

// Writes each line to a log file. The file opens when the destination gets an owner (a fresh
// file is created empty unless `shouldAppend`), closes when it loses it, and can be moved aside
// to an archive path (rotation), tagged with who archived it and when.
//
// One lock guards the file: a line is written whole, and rotation never closes the file under
// another thread's write. The destination's reports about its own file (opening, rotation,
// failures) go to the owner's other destinations after the lock is released, so two file
// destinations reporting to each other cannot block one another.
class FileDestination : public BaseQueuedDestination {
public:
    static constexpr const char* defaultAppendMarker = "-- ** ** ** --";

    explicit FileDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, const FileTarget& writeToFile = {},
                             std::string identifier = "", bool shouldAppend = false,
                             std::optional<std::string> appendMarker = std::string(defaultAppendMarker),
                             std::optional<platform::foundation::FileAttributes> attributes = std::nullopt);
    ~FileDestination() override;

    // Opens the file for a logger, closes it for none (also when the same logger is set again).
    void setOwner(const std::shared_ptr<PRQLogger>& owner) override;

    std::optional<platform::foundation::Url> writeToFileURL() const;
    // Opens the new file (when there is an owner).
    virtual void setWriteToFileURL(std::optional<platform::foundation::Url> url);
    // Whether the log file is open (the platform handle itself stays inside, under the lock).
    bool isOpen() const;
    bool shouldAppend() const;
    void setShouldAppend(bool shouldAppend);
    std::optional<std::string> appendMarker() const;
    void setAppendMarker(std::optional<std::string> marker);
    std::optional<platform::foundation::FileAttributes> fileAttributes() const;
    void setFileAttributes(std::optional<platform::foundation::FileAttributes> attributes);

    void processInternal(const LogDetails& logDetails) override;
    // Writes the line with the write inlined here rather than behind a virtual call: the code
    // that runs after a write has gone cold in the kernel, so every frame fewer counts.
    void writeStraight(const StraightCall& call) override;
    void write(const std::string& message) override;

    // Forces the file's data to permanent storage, then calls `closure` (on the queue when set).
    void flush(std::function<void()> closure = {});
    // Moves the log file to `to` (never over an existing file), tags it and starts a new empty
    // log file. True when the file was moved; `closure` gets the same answer before the return.
    bool rotateFile(const FileTarget& to, const std::function<void(bool)>& closure = {});

protected:
    // What the destination has to tell its owner about its file; told once the lock is released.
    struct Report {
        Level level;
        std::string message;
    };
    using Reports = std::vector<Report>;

    // The file's lock, for derived destinations that keep counters beside the file. The same
    // thread may take it again.
    std::unique_lock<RecursiveLock> lockFile() const;
    // A plain file destination writes the composed line itself when it has no queue and no filter
    // or formatter applies; a derived one that replaces `write` keeps its own.
    bool writesLinesDirectly(const PRQLogger& owner) const override;
    void writeLineDirectly(std::string_view lineWithFeed) override;
    // Whether the report of a rotation goes into the new file too, or only to the other destinations.
    enum class RotationReport { toOthers, alsoIntoNewFile };
    // `rotateFile(to, closure)` without its reports to the others and its callback, for derived
    // destinations that rotate under a lock of their own and report afterwards.
    bool rotateLocked(const FileTarget& to, Reports& reports, RotationReport rotationReport = RotationReport::toOthers);
    // Hands the reports to the owner's other destinations. Call it without holding the lock.
    void deliver(const Reports& reports);

private:
    enum class Opening { asConfigured, keepingContent };

    void openFile(Opening opening = Opening::asConfigured);
    void closeFile();
    void openLocked(Opening opening, Reports& reports);
    void closeLocked();
    void writeLocked(std::string_view line);
    void writeWithFeedLocked(std::string_view lineWithFeed);
    void tagArchive(const platform::foundation::Url& archive, Reports& reports);

    mutable RecursiveLock fileLock_;
    std::unique_ptr<platform::foundation::FileHandle> logFileHandle_;
    std::optional<platform::foundation::Url> writeToFileURL_;
    bool shouldAppend_;
    std::optional<std::string> appendMarker_;
    std::optional<platform::foundation::FileAttributes> fileAttributes_;
};

}  // namespace prq
