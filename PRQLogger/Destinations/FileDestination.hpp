#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"
#include "PRQLogger/Misc/FileTarget.hpp"
#include "platform/dispatch/Clock.hpp"
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
// One lock orders what changes the file (opening, closing, rotation); a line takes it only to
// take the open file, and writes it with one write(2) to a file opened for appending. Opening
// holds the lock while the file's first lines go in the ordinary way of lines, so the lock is
// recursive and other threads' lines follow those. The destination's reports about its own file
// (opening, rotation, failures) go to the owner's other destinations after the lock is released,
// so two file destinations reporting to each other cannot block one another. A failing write is
// printed at most once a second: a full disk fails every line.
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

    // The file's lock, for derived destinations that keep counters beside the file.
    std::unique_lock<std::recursive_mutex> lockFile() const;
    // Every line goes through here, with its line feed: `write` adds it to the line, a line
    // composed straight from a log call has it added in place.
    virtual void writeLine(std::string_view lineWithFeed);
    void writeComposed(const LogCall& call, std::size_t length) override;
    // Whether the report of a rotation goes into the new file too, or only to the other destinations.
    enum class RotationReport { toOthers, alsoIntoNewFile };
    // `rotateFile(to, closure)` without its reports to the others and its callback, for derived
    // destinations that rotate under a lock of their own and report afterwards.
    bool rotateLocked(const FileTarget& to, Reports& reports, RotationReport rotationReport = RotationReport::toOthers);
    // Hands the reports to the owner's other destinations (this one wrote into its file what
    // belongs there). Call it without holding the lock.
    void deliver(const Reports& reports);

private:
    enum class Opening { asConfigured, keepingContent };

    void openFile(Opening opening = Opening::asConfigured);
    void closeFile();
    // `alsoTell`, when not empty, is a line for the new file after its opening line.
    void openLocked(Opening opening, Reports& reports, const std::string& alsoTell = "");
    void closeLocked();
    // Forces the open file's data to permanent storage; false without an open file.
    bool syncFile() const;
    // Writes a line that ends in its line feed, in one write.
    void writeData(const platform::foundation::FileHandle& handle, std::string_view lineWithFeed);
    void tagArchive(const platform::foundation::Url& archive, Reports& reports);

    mutable std::recursive_mutex fileLock_;
    std::shared_ptr<const platform::foundation::FileHandle> logFileHandle_;
    std::optional<platform::foundation::Url> writeToFileURL_;
    bool shouldAppend_;
    std::optional<std::string> appendMarker_;
    std::optional<platform::foundation::FileAttributes> fileAttributes_;
    // A rotation's line for the new file, kept while there is no owner to open that file for
    // (a rotation at creation): the next opening writes it. Under `fileLock_`.
    std::string untoldRotation_;
    std::optional<platform::dispatch::TimePoint> lastFailurePrinted_;
};

}  // namespace prq
