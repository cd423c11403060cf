#include "Zip/Zip.hpp"

#include "Zip/ArchiveWriter.hpp"
#include "Zip/InputFile.hpp"
#include "Zip/Unzipper.hpp"
#include "Zip/ZipUtilities.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/Progress.hpp"

#include <sys/stat.h>
#include <vector>
#include <zlib.h>

namespace corvantis::zip {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Progress;

namespace {
constexpr std::size_t chunkSize = 16384;

std::optional<std::uint64_t> fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::span<const std::uint8_t> bytesOf(const std::string& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()};
}

// Copies the file into the open entry. Encrypted entries need their CRC first: the file is read
// once for it and then again, as far as that first reading went, and must give the same bytes.
void copyFile(InputFile& input, ArchiveWriter& archive, const std::string& name, const EntryDate& date, std::uint64_t size) {
    std::vector<std::uint8_t> buffer(chunkSize);
    std::optional<InputFile::Checksum> expected;
    if (archive.encrypts()) {
        expected = input.checksum(buffer);
        if (!expected) throw ZipError(ZipError::zipFail);
        size = expected->size;
    }
    archive.openEntry(name, date, size, expected ? std::optional(expected->crc) : std::nullopt);
    std::uint64_t remaining = expected ? expected->size : UINT64_MAX;
    std::uint32_t crc = 0;
    while (remaining > 0) {
        const long count =
            input.read(std::span(buffer).first(static_cast<std::size_t>(std::min<std::uint64_t>(remaining, chunkSize))));
        if (count < 0) throw ZipError(ZipError::zipFail);
        if (count == 0) break;
        const auto piece = std::span(buffer).first(static_cast<std::size_t>(count));
        archive.write(piece);
        if (expected) crc = static_cast<std::uint32_t>(crc32_z(crc, piece.data(), piece.size()));
        remaining -= static_cast<std::uint64_t>(count);
    }
    if (expected && (remaining != 0 || crc != expected->crc)) throw ZipError(ZipError::zipFail);
    archive.closeEntry();
}
}  // namespace

void Zip::zipFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                   ZipCompression compression, const ProgressHandler& progress) {
    const auto items = ZipUtilities().processZipPaths(paths);
    double totalSize = 0;
    for (const auto& item : items) totalSize += static_cast<double>(fileSize(item.filePath()).value_or(0));
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(totalSize));

    ArchiveWriter archive(zipFilePath.path(), minizipCompression(compression), password);
    double currentPosition = 0;
    for (const auto& item : items) {
        if (FileSystem::isDirectory(item.filePath())) continue;
        auto input = InputFile::open(item.filePath());
        if (!input) throw ZipError(ZipError::zipFail);
        const auto attributes = input->attributes();
        if (attributes) currentPosition += static_cast<double>(attributes->size);
        const auto date = EntryDate::fromModificationTime(attributes ? std::optional(attributes->modified) : std::nullopt);
        copyFile(*input, archive, item.fileName.value_or(item.filePathURL.lastPathComponent()), date,
                 attributes ? attributes->size : 0);
        // With nothing to count (only empty or unreadable files) every entry is all of the work.
        const double fraction = totalSize > 0 ? currentPosition / totalSize : 1.0;
        if (progress && fraction != 1.0) progress(fraction);
        progressObject->setCompletedUnitCount(static_cast<std::int64_t>(currentPosition));
    }
    archive.commit();
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(totalSize));
}

void Zip::zipData(const std::vector<ArchiveFile>& archiveFiles, const Url& zipFilePath, const std::optional<std::string>& password,
                  ZipCompression compression, const ProgressHandler& progress) {
    std::uint64_t totalSize = 0;
    for (const auto& file : archiveFiles) totalSize += file.data ? file.data->size() : 0;
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(totalSize));

    ArchiveWriter archive(zipFilePath.path(), minizipCompression(compression), password);
    std::uint64_t currentPosition = 0;
    for (const auto& file : archiveFiles) {
        if (!file.data || file.data->empty()) continue;
        const auto bytes = bytesOf(*file.data);
        std::optional<std::uint32_t> crc;
        if (archive.encrypts()) crc = static_cast<std::uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
        archive.openEntry(file.filename, EntryDate::fromModificationTime(file.modifiedTime), bytes.size(), crc);
        archive.write(bytes);
        archive.closeEntry();
        currentPosition += bytes.size();
        if (progress) progress(static_cast<double>(currentPosition) / static_cast<double>(totalSize));
        progressObject->setCompletedUnitCount(static_cast<std::int64_t>(currentPosition));
    }
    archive.commit();
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(totalSize));
}

void Zip::unzipFile(const Url& zipFilePath, const Url& destination, bool overwrite, const std::optional<std::string>& password,
                    const ProgressHandler& progress, const FileOutputHandler& fileOutputHandler) {
    const auto archiveSize = fileSize(zipFilePath.path());
    if (!archiveSize || fileExtensionIsInvalid(zipFilePath.pathExtension())) throw ZipError(ZipError::fileNotFound);
    Unzipper(zipFilePath, destination, overwrite, password, *archiveSize).run(progress, fileOutputHandler);
}

bool Zip::fileExtensionIsInvalid(const std::optional<std::string>& fileExtension) {
    return !fileExtension || !isValidFileExtension(*fileExtension);
}

void Zip::addCustomFileExtension(const std::string& fileExtension) {
    customFileExtensions.insert(fileExtension);
}

void Zip::removeCustomFileExtension(const std::string& fileExtension) {
    customFileExtensions.erase(fileExtension);
}

bool Zip::isValidFileExtension(const std::string& fileExtension) {
    return fileExtension == "zip" || fileExtension == "cbz" || customFileExtensions.contains(fileExtension);
}

}  // namespace corvantis::zip
