#pragma once

#include "Zip/EntryDecoder.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace corvantis::zip {

// Reads an archive's entries in order through minizip. minizip finds the entries and hands over
// their raw data; decryption, inflation and the CRC check happen here, and zip64 sizes are taken
// from the entry's extra field, which this minizip does not read. Failures to open the archive
// or an entry throw `ZipError::unzipFail`.
class ArchiveReader {
public:
    struct Entry {
        std::string name;  // the stored bytes, as many as the name's length says
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0;
        std::uint32_t crc = 0;
        unsigned long flags = 0;
        unsigned long compressionMethod = 0;
        unsigned long dosDate = 0;
        unsigned long externalAttributes = 0;
        // The UTF-8 name of an Info-ZIP Unicode Path field that still matches `name`.
        std::optional<std::string> unicodeName{};
    };

    // Where an entry's directory record is, for another reader of the same archive.
    struct Position {
        std::uint64_t directoryOffset = 0;
        std::uint64_t entryNumber = 0;
    };

    explicit ArchiveReader(const std::filesystem::path& archive);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // minizip's codes: 0, -100 past the last entry, anything else a damaged directory.
    int goToFirstEntry();
    int goToNextEntry();

    Position currentPosition() const;
    // Moves to the entry at `position`, as another reader found it; false when that fails.
    bool goTo(const Position& position);

    Entry currentEntry() const;
    // A password matters only for an encrypted entry, which cannot be opened without the right one.
    void openCurrentEntry(const Entry& entry, const std::optional<std::string>& password);
    // Fills `buffer` with the entry's bytes: the count, 0 at the end, or a negative code.
    long read(std::span<std::uint8_t> buffer);
    // Closes the entry; true when all of it was read and its CRC-32 matched.
    bool closeCurrentEntry(const Entry& entry);

private:
    long readRaw(std::span<std::uint8_t> buffer);

    void* handle_ = nullptr;
    std::unique_ptr<EntryDecoder> decoder_;
};

}  // namespace corvantis::zip
