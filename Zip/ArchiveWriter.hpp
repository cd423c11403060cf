#pragma once

#include "Zip/EntryDate.hpp"
#include "Zip/TraditionalCipher.hpp"
#include "platform/foundation/ReplacementFile.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace corvantis::zip {

// Writes one new archive through minizip. The archive grows in a temporary file beside the
// target and replaces the target only when `commit` succeeds; an archive dropped before that
// leaves no file behind and any earlier archive untouched. Every failure throws
// `ZipError::zipFail`.
//
// Entries arrive already deflated (at `level`, which the entry's header records) and go to
// minizip as raw data. With a password (the empty text included) they are encrypted here, which
// needs the entry's CRC-32 before its first byte. An entry gets zip64 fields only when its size
// needs them, so small archives stay in the classic format. A name in UTF-8 beyond ASCII is
// flagged as UTF-8 and also carried in Info-ZIP's Unicode Path field.
class ArchiveWriter {
public:
    ArchiveWriter(const std::filesystem::path& target, int level, std::optional<std::string> password);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Whether `openEntry` needs the CRC-32 of the entry's bytes.
    bool encrypts() const { return password_.has_value(); }

    // Begins an entry of (about) `expectedSize` bytes; `crc` is needed when encrypting.
    void openEntry(const std::string& name, const EntryDate& date, std::uint64_t expectedSize, std::optional<std::uint32_t> crc);
    // Appends the next part of the entry's deflate stream, which holds `plainSize` bytes of the
    // entry; the part is encrypted in place when the archive is.
    void write(std::span<std::uint8_t> deflated, std::uint64_t plainSize);
    // Ends the entry, whose bytes have the CRC-32 `crc`.
    void closeEntry(std::uint32_t crc);
    // Finishes the archive and moves it into place.
    void commit();

private:
    void writeToArchive(std::span<const std::uint8_t> bytes);

    platform::foundation::ReplacementFile file_;
    void* handle_ = nullptr;
    int level_;
    std::optional<std::string> password_;
    std::optional<TraditionalCipher> cipher_;
    std::optional<std::uint32_t> encryptedCrc_;
    std::uint64_t entrySize_ = 0;
    bool entryIsZip64_ = false;
};

}  // namespace corvantis::zip
