#include "Zip/ArchiveWriter.hpp"

#include "Zip/ZipError.hpp"
#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

namespace corvantis::zip {

namespace {
constexpr std::size_t largestWrite = std::size_t{1} << 30;  // minizip and zlib take 32-bit counts
constexpr std::uint64_t classicLimit = 0xFFFFFFFFu;
constexpr unsigned long encryptedFlag = 0x1;
constexpr unsigned long utf8NameFlag = 0x800;
constexpr unsigned long versionMadeBy = 0;

// Whether an entry of `size` bytes may need more than the classic 32-bit fields, counting what
// deflate adds to incompressible data and the encryption header.
bool needsZip64(std::uint64_t size) {
    return size >= classicLimit || compressBound(static_cast<uLong>(size)) + TraditionalCipher::headerSize >= classicLimit;
}

// Readers take names without the flag as their legacy code page, which garbles UTF-8.
bool isUtf8BeyondAscii(const std::string& name) {
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && platform::foundation::isValidUtf8(name);
}

// Info-ZIP's unzip reads the flag only for entries made on Unix-like systems; for ours, recorded
// as made on MS-DOS, it takes the name from its Unicode Path field: the field's id, its length,
// version 1, the CRC-32 of the name as the header holds it, then the name in UTF-8.
std::string unicodePathField(const std::string& name) {
    constexpr std::uint16_t unicodePathId = 0x7075;
    constexpr std::size_t fixedSize = 1 + 4;
    // The header's extra field length counts 16 bits, the zip64 field included.
    constexpr std::size_t largestName = 0xFFFF - 4 - fixedSize - 32;
    if (!isUtf8BeyondAscii(name) || name.size() > largestName) return {};
    std::string field;
    const auto append = [&field](std::uint32_t value, int bytes) {
        for (int byte = 0; byte < bytes; ++byte) field.push_back(static_cast<char>((value >> (8 * byte)) & 0xFF));
    };
    append(unicodePathId, 2);
    append(static_cast<std::uint32_t>(fixedSize + name.size()), 2);
    append(1, 1);
    append(static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(name.data()), name.size())), 4);
    return field + name;
}

// minizip writes through these, on a stream we opened, so the archive goes into our temporary
// file and a failed flush or close reaches minizip's result codes.
voidpf openStream(voidpf, const void* stream, int) {
    return const_cast<void*>(stream);
}
uLong readStream(voidpf, voidpf stream, void* buffer, uLong size) {
    return std::fread(buffer, 1, size, static_cast<FILE*>(stream));
}
uLong writeStream(voidpf, voidpf stream, const void* buffer, uLong size) {
    return std::fwrite(buffer, 1, size, static_cast<FILE*>(stream));
}
ZPOS64_T tellStream(voidpf, voidpf stream) {
    return static_cast<ZPOS64_T>(::ftello(static_cast<FILE*>(stream)));
}
long seekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET;
    return ::fseeko(static_cast<FILE*>(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}
int closeStream(voidpf, voidpf stream) {
    return std::fclose(static_cast<FILE*>(stream));
}
int streamError(voidpf, voidpf stream) {
    return std::ferror(static_cast<FILE*>(stream));
}

platform::foundation::ReplacementFile createFile(const std::filesystem::path& target) {
    auto file = platform::foundation::ReplacementFile::create(target);
    if (!file) throw ZipError(ZipError::zipFail);
    return std::move(file).value();
}
}  // namespace

ArchiveWriter::ArchiveWriter(const std::filesystem::path& target, int level, std::optional<std::string> password)
    : file_(createFile(target)), level_(level), password_(std::move(password)) {
    FILE* stream = ::fdopen(::fcntl(file_.fd(), F_DUPFD_CLOEXEC, 0), "wb");
    if (stream == nullptr) throw ZipError(ZipError::zipFail);
    zlib_filefunc64_def functions{openStream, readStream, writeStream, tellStream, seekStream, closeStream, streamError, nullptr};
    handle_ = zipOpen2_64(stream, APPEND_STATUS_CREATE, nullptr, &functions);
    if (handle_ == nullptr) {
        std::fclose(stream);
        throw ZipError(ZipError::zipFail);
    }
}

ArchiveWriter::~ArchiveWriter() {
    // An archive that was not committed is closed only to release minizip's memory; its
    // temporary file goes with `file_`.
    if (handle_ != nullptr) zipClose(handle_, nullptr);
}

void ArchiveWriter::openEntry(const std::string& name, const EntryDate& date, std::uint64_t expectedSize,
                              std::optional<std::uint32_t> crc) {
    if (name.find('\0') != std::string::npos || (encrypts() && !crc)) throw ZipError(ZipError::zipFail);
    zip_fileinfo info{};
    info.tmz_date.tm_sec = date.second;
    info.tmz_date.tm_min = date.minute;
    info.tmz_date.tm_hour = date.hour;
    info.tmz_date.tm_mday = date.day;
    info.tmz_date.tm_mon = date.month;
    info.tmz_date.tm_year = date.year;
    unsigned long flags = isUtf8BeyondAscii(name) ? utf8NameFlag : 0;
    if (encrypts()) flags |= encryptedFlag;
    entryIsZip64_ = needsZip64(expectedSize);
    entrySize_ = 0;
    const std::string extra = unicodePathField(name);
    const auto extraSize = static_cast<uInt>(extra.size());
    const void* extraBytes = extra.empty() ? nullptr : extra.data();
    const int result = zipOpenNewFileInZip4_64(handle_, name.c_str(), &info, extraBytes, extraSize, extraBytes, extraSize,
                                               nullptr, Z_DEFLATED, level_, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                               versionMadeBy, flags, entryIsZip64_ ? 1 : 0);
    if (result != ZIP_OK) throw ZipError(ZipError::zipFail);
    if (encrypts()) {
        cipher_.emplace(*password_);
        encryptedCrc_ = crc;
        auto header = cipher_->encryptedHeader(*crc);
        writeToArchive(header);
    }
}

void ArchiveWriter::write(std::span<std::uint8_t> deflated, std::uint64_t plainSize) {
    entrySize_ += plainSize;
    // Without zip64 fields a bigger entry would come out corrupt (a file that grew after its
    // size was taken).
    if (!entryIsZip64_ && needsZip64(entrySize_)) throw ZipError(ZipError::zipFail);
    if (cipher_) cipher_->encrypt(deflated);
    while (!deflated.empty()) {
        const auto piece = deflated.first(std::min(deflated.size(), largestWrite));
        writeToArchive(piece);
        deflated = deflated.subspan(piece.size());
    }
}

void ArchiveWriter::writeToArchive(std::span<const std::uint8_t> bytes) {
    if (zipWriteInFileInZip(handle_, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK)
        throw ZipError(ZipError::zipFail);
}

void ArchiveWriter::closeEntry(std::uint32_t crc) {
    // The header promised readers this CRC; other bytes would fail as a wrong password.
    if (cipher_ && crc != encryptedCrc_) throw ZipError(ZipError::zipFail);
    cipher_.reset();
    if (zipCloseFileInZipRaw64(handle_, entrySize_, crc) != ZIP_OK) throw ZipError(ZipError::zipFail);
}

void ArchiveWriter::commit() {
    const int result = zipClose(handle_, nullptr);
    handle_ = nullptr;
    if (result != ZIP_OK || !file_.commit()) throw ZipError(ZipError::zipFail);
}

}  // namespace corvantis::zip
