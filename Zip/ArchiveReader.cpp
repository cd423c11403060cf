#include "Zip/ArchiveReader.hpp"

#include "Zip/ZipError.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <unzip.h>
#include <zlib.h>

namespace corvantis::zip {

namespace {
constexpr unsigned long encryptedFlag = 0x1;
constexpr std::uint64_t zip64Placeholder = 0xFFFFFFFFu;
constexpr std::uint16_t zip64ExtraId = 0x0001;
constexpr std::uint16_t unicodePathExtraId = 0x7075;
constexpr unsigned long dataDescriptorFlag = 0x8;
constexpr int storedMethod = 0;

// With a data descriptor the writer did not know the CRC up front and checks the file time.
std::uint8_t passwordCheckByte(const ArchiveReader::Entry& entry) {
    if (entry.flags & dataDescriptorFlag) return static_cast<std::uint8_t>(entry.dosDate >> 8);
    return static_cast<std::uint8_t>(entry.crc >> 24);
}

std::uint64_t littleEndian(const std::string& bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The zip64 extra field holds the real value of each size whose 32-bit field is the placeholder,
// uncompressed first.
void readZip64Sizes(const std::string& extra, std::size_t at, std::size_t end, ArchiveReader::Entry& entry) {
    for (auto* value : {&entry.uncompressedSize, &entry.compressedSize}) {
        if (*value != zip64Placeholder || at + 8 > end) continue;
        *value = littleEndian(extra, at, 8);
        at += 8;
    }
}

// Info-ZIP's Unicode Path field: version 1, the CRC-32 of the header's name, the name in UTF-8.
// It counts only while that CRC matches: a tool that renamed the entry and left the field behind
// has made it stale.
void readUnicodePath(const std::string& extra, std::size_t at, std::size_t end, ArchiveReader::Entry& entry) {
    if (end < at + 5 || extra[at] != 1) return;
    const auto crc = static_cast<std::uint32_t>(littleEndian(extra, at + 1, 4));
    const auto* name = reinterpret_cast<const Bytef*>(entry.name.data());
    if (crc != static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), name, entry.name.size()))) return;
    std::string unicode = extra.substr(at + 5, end - at - 5);
    if (!unicode.empty() && platform::foundation::isValidUtf8(unicode)) entry.unicodeName = std::move(unicode);
}

void readExtraFields(const std::string& extra, ArchiveReader::Entry& entry) {
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const auto id = littleEndian(extra, at, 2);
        const auto size = static_cast<std::size_t>(littleEndian(extra, at + 2, 2));
        const std::size_t end = std::min(at + 4 + size, extra.size());
        if (id == zip64ExtraId) readZip64Sizes(extra, at + 4, end, entry);
        if (id == unicodePathExtraId) readUnicodePath(extra, at + 4, end, entry);
        at = end;
    }
}
}  // namespace

ArchiveReader::ArchiveReader(const std::filesystem::path& archive) : handle_(unzOpen64(archive.c_str())) {
    if (handle_ == nullptr) throw ZipError(ZipError::unzipFail);
}

ArchiveReader::~ArchiveReader() {
    decoder_.reset();
    unzClose(handle_);
}

int ArchiveReader::goToFirstEntry() {
    return unzGoToFirstFile(handle_);
}

int ArchiveReader::goToNextEntry() {
    return unzGoToNextFile(handle_);
}

ArchiveReader::Position ArchiveReader::currentPosition() const {
    unz64_file_pos position{};
    if (unzGetFilePos64(handle_, &position) != UNZ_OK) throw ZipError(ZipError::unzipFail);
    return {position.pos_in_zip_directory, position.num_of_file};
}

bool ArchiveReader::goTo(const Position& position) {
    const unz64_file_pos where{position.directoryOffset, position.entryNumber};
    return unzGoToFilePos64(handle_, &where) == UNZ_OK;
}

ArchiveReader::Entry ArchiveReader::currentEntry() const {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        throw ZipError(ZipError::unzipFail);
    std::string name(info.size_filename + 1, '\0');
    std::string extra(info.size_file_extra, '\0');
    if (unzGetCurrentFileInfo64(handle_, &info, name.data(), static_cast<uLong>(name.size()), extra.data(),
                                static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
        throw ZipError(ZipError::unzipFail);
    }
    name.resize(info.size_filename);
    Entry entry{std::move(name), info.compressed_size,    info.uncompressed_size, static_cast<std::uint32_t>(info.crc),
                info.flag,       info.compression_method, info.dosDate,           info.external_fa};
    readExtraFields(extra, entry);
    return entry;
}

void ArchiveReader::openCurrentEntry(const Entry& entry, const std::optional<std::string>& password) {
    const bool encrypted = (entry.flags & encryptedFlag) != 0;
    const bool decodable = entry.compressionMethod == storedMethod || entry.compressionMethod == Z_DEFLATED;
    if (!decodable || (encrypted && !password)) throw ZipError(ZipError::unzipFail);
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(handle_, &method, &level, 1) != UNZ_OK) throw ZipError(ZipError::unzipFail);
    decoder_ = std::make_unique<EntryDecoder>(encrypted ? std::optional<std::string_view>(*password) : std::nullopt,
                                              method == Z_DEFLATED);
    if (encrypted &&
        !decoder_->acceptsHeader([this](std::span<std::uint8_t> buffer) { return readRaw(buffer); }, passwordCheckByte(entry))) {
        decoder_.reset();
        unzCloseCurrentFile(handle_);
        throw ZipError(ZipError::unzipFail);
    }
}

long ArchiveReader::readRaw(std::span<std::uint8_t> buffer) {
    return unzReadCurrentFile(handle_, buffer.data(), static_cast<unsigned>(buffer.size()));
}

long ArchiveReader::read(std::span<std::uint8_t> buffer) {
    return decoder_->read(buffer, [this](std::span<std::uint8_t> raw) { return readRaw(raw); });
}

bool ArchiveReader::closeCurrentEntry(const Entry& entry) {
    const bool closed = unzCloseCurrentFile(handle_) == UNZ_OK;
    const bool intact = decoder_ && decoder_->isIntact(entry.crc);
    decoder_.reset();
    return closed && intact;
}

}  // namespace corvantis::zip
