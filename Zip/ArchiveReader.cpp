#include "Zip/ArchiveReader.hpp"

#include "Zip/ZipError.hpp"

#include <unzip.h>

namespace zip {

namespace {
constexpr unsigned long encryptedFlag = 0x1;
constexpr unsigned long dataDescriptorFlag = 0x8;
constexpr int storedMethod = 0;

// With a data descriptor the writer did not know the CRC up front and checks the file time.
std::uint8_t passwordCheckByte(const ArchiveReader::Entry& entry) {
    if (entry.flags & dataDescriptorFlag) return static_cast<std::uint8_t>(entry.dosDate >> 8);
    return static_cast<std::uint8_t>(entry.crc >> 24);
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

ArchiveReader::Entry ArchiveReader::currentEntry() const {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) throw ZipError(ZipError::unzipFail);
    std::string name(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(handle_, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK) {
        throw ZipError(ZipError::unzipFail);
    }
    name.resize(info.size_filename);
    return Entry{std::move(name), info.compressed_size, info.uncompressed_size, static_cast<std::uint32_t>(info.crc),
                 info.flag,       info.compression_method, info.dosDate,  info.external_fa};
}

void ArchiveReader::openCurrentEntry(const Entry& entry, const std::optional<std::string>& password) {
    if (!(entry.flags & encryptedFlag)) {
        if (unzOpenCurrentFile(handle_) != UNZ_OK) throw ZipError(ZipError::unzipFail);
        return;
    }
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(handle_, &method, &level, 1) != UNZ_OK) throw ZipError(ZipError::unzipFail);
    const bool decodable = password && (method == storedMethod || method == Z_DEFLATED);
    if (decodable) {
        decoder_ = std::make_unique<EntryDecoder>(*password, method == Z_DEFLATED);
        if (decoder_->acceptsHeader([this](std::span<std::uint8_t> buffer) { return readRaw(buffer); }, passwordCheckByte(entry))) return;
        decoder_.reset();
    }
    unzCloseCurrentFile(handle_);
    throw ZipError(ZipError::unzipFail);
}

long ArchiveReader::readRaw(std::span<std::uint8_t> buffer) {
    return unzReadCurrentFile(handle_, buffer.data(), static_cast<unsigned>(buffer.size()));
}

long ArchiveReader::read(std::span<std::uint8_t> buffer) {
    if (decoder_) return decoder_->read(buffer, [this](std::span<std::uint8_t> raw) { return readRaw(raw); });
    return readRaw(buffer);
}

bool ArchiveReader::closeCurrentEntry(const Entry& entry) {
    const bool closed = unzCloseCurrentFile(handle_) == UNZ_OK;
    const bool intact = !decoder_ || decoder_->isIntact(entry.crc);
    decoder_.reset();
    return closed && intact;
}

}  // namespace zip
