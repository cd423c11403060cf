#pragma once

#include "Zip/ArchiveReader.hpp"
#include "Zip/DestinationFolder.hpp"
#include "Zip/Zip.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/ReplacementFile.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::zip {

// One unpacking of an archive into a folder: the walk over the entries behind `Zip::unzipFile`.
// Every failure throws `ZipError::unzipFail`. A file entry is written to a temporary file beside
// its target and takes the target's place only after its CRC and size have checked out, so a
// failing entry never destroys the file it would have replaced.
//
// The caller's thread walks the archive's directory; the shared worker threads (for a small
// archive the caller's own), each with a reader of its own, inflate the entries into their
// temporary files. The caller then finishes the entries in
// archive order: the overwrite rule, the checks, a file's permissions, the rename into place and
// the reports. So the outcome is the one-by-one walk's, except that folders of entries after a
// failing one may already have been made. Folders get their permissions once every entry is in
// place, so a read-only folder still receives the entries inside it.
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
    // What a worker made of an entry.
    struct Unpacked {
        bool opened = false;   // the entry opened (a password it needs was right) and its folder was made
        bool skipped = false;  // a file was there already and stays
        bool intact = false;   // all bytes written, CRC and size right
        std::optional<platform::foundation::FileDescriptor> folder;  // the folder, or a file's parent folder
        std::optional<platform::foundation::ReplacementFile> file;
    };

    Walked walk() const;
    // On a worker thread: touches only the entry's own files and the pool of readers.
    Unpacked unpack(const Walked& walked);
    void unpackFile(ArchiveReader& reader, const Walked& walked, Unpacked& unpacked) const;
    // On the caller's thread, in archive order; false when an existing file was left alone.
    bool finish(const Walked& walked, Unpacked unpacked);
    void applyFolderPermissions();

    std::unique_ptr<ArchiveReader> takeReader();
    void giveBack(std::unique_ptr<ArchiveReader> reader);

    Zip::Url archive_;
    Zip::Url destination_;
    bool overwrite_;
    std::optional<std::string> password_;
    std::uint64_t archiveSize_;
    std::optional<ArchiveReader> reader_;
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
