#pragma once

#include "Zip/ArchiveReader.hpp"
#include "Zip/DestinationFolder.hpp"
#include "Zip/Placement.hpp"
#include "Zip/StagingFolder.hpp"
#include "Zip/Zip.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/Progress.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::zip {

// One unpacking of an archive into a folder: the walk over the entries behind `Zip::unzipFile`.
// Every failure throws `ZipError::unzipFail`, and a failing archive leaves the destination as it
// was: nothing reaches the destination until every entry has unpacked intact.
//
// First the caller's thread reads the archive's whole directory: every name is checked (no two
// entries but folders on one path), and an archive whose entries declare more bytes than the
// destination has free fails before anything is written. Then the entries are unpacked into a
// staging folder inside the destination: the shared worker threads (for a small archive the
// caller's own), each with a reader of its own, inflate them, no entry past the size it
// declares, and the caller checks them in archive order. Last, the caller moves them into place
// in archive order (the overwrite rule, a file's permissions, folders made as needed), undoing
// every move if one fails, and reports them. Folders get their permissions once every entry is
// in place, so a read-only folder still receives the entries inside it.
class Unzipper {
public:
    Unzipper(const Zip::Url& archive, const Zip::Url& destination, bool overwrite, std::optional<std::string> password,
             std::uint64_t archiveSize);

    void run(const Zip::ProgressHandler& progress, const Zip::FileOutputHandler& fileOutputHandler);

private:
    // An entry as the walk found it, its name checked.
    struct Walked {
        ArchiveReader::Entry entry;
        ArchiveReader::Position position;
        std::string name;  // "/"-separated
        bool isFolder = false;
    };
    // What unpacking into the staging folder made of an entry.
    struct Staged {
        bool opened = false;   // the entry opened (a password it needs was right)
        bool skipped = false;  // a file is there already and stays
        bool intact = false;   // its declared bytes and no more were written, CRC right
    };

    std::vector<Walked> survey(ArchiveReader& reader) const;
    static Walked walk(const ArchiveReader& reader);
    // Which entries are in place afterwards (not left out for a file that stays).
    std::vector<bool> unpack(const std::vector<Walked>& entries);
    // Which entries were skipped for a file that stays.
    std::vector<bool> stage(const std::vector<Walked>& entries, const StagingFolder& staging);
    // On a worker thread: touches only the entry's own staged file and the pool of readers.
    Staged stageEntry(const Walked& walked, std::size_t index, const StagingFolder& staging);
    static bool stageFile(ArchiveReader& reader, const Walked& walked, platform::foundation::FileDescriptor file);
    // On the caller's thread, in archive order; false when an existing file was left alone.
    bool place(const Walked& walked, std::size_t index, const StagingFolder& staging, Placement& placement);
    void applyFolderPermissions();
    void report(const std::vector<Walked>& entries, const std::vector<bool>& placed, const Zip::ProgressHandler& progress,
                const Zip::FileOutputHandler& fileOutputHandler, platform::foundation::Progress& progressObject) const;

    std::unique_ptr<ArchiveReader> takeReader();
    void giveBack(std::unique_ptr<ArchiveReader> reader);

    Zip::Url archive_;
    Zip::Url destination_;
    bool overwrite_;
    std::optional<std::string> password_;
    std::uint64_t archiveSize_;
    std::optional<DestinationFolder> folder_;
    struct FolderPermissions {
        std::string name;
        mode_t permissions = 0;
    };
    std::vector<FolderPermissions> folderPermissions_;  // in archive order
    std::mutex readersMutex_;
    std::vector<std::unique_ptr<ArchiveReader>> idleReaders_;  // guarded by readersMutex_
};

}  // namespace corvantis::zip
