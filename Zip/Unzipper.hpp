#pragma once

#include "Zip/ArchiveReader.hpp"
#include "Zip/DestinationFolder.hpp"
#include "Zip/Zip.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::zip {

// One unpacking of an archive into a folder: the walk over the entries behind `Zip::unzipFile`.
// Every failure throws `ZipError::unzipFail`. A file entry is written to a temporary file beside
// its target and takes the target's place only after its CRC and size have checked out, so a
// failing entry never destroys the file it would have replaced.
class Unzipper {
public:
    Unzipper(const Zip::Url& archive, const Zip::Url& destination, bool overwrite, std::optional<std::string> password,
             std::uint64_t archiveSize);

    void run(const Zip::ProgressHandler& progress, const Zip::FileOutputHandler& fileOutputHandler);

private:
    // Each unpacks the current entry, which is open, under its checked `name`; false when an
    // existing file was left alone.
    bool unpackFolder(const ArchiveReader::Entry& entry, const std::string& name);
    bool unpackFile(const ArchiveReader::Entry& entry, const std::string& name);

    Zip::Url archive_;
    Zip::Url destination_;
    bool overwrite_;
    std::optional<std::string> password_;
    std::uint64_t archiveSize_;
    std::optional<ArchiveReader> reader_;
    std::optional<DestinationFolder> folder_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace corvantis::zip
