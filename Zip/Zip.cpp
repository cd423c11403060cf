#include "Zip/Zip.hpp"

#include "Zip/ArchivePacker.hpp"
#include "Zip/ArchiveWriter.hpp"
#include "Zip/InputFile.hpp"
#include "Zip/Unzipper.hpp"
#include "Zip/ZipUtilities.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/Progress.hpp"

#include <sys/stat.h>
#include <vector>

namespace corvantis::zip {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Progress;

namespace {
std::optional<std::uint64_t> fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::span<const std::uint8_t> bytesOf(const std::string& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()};
}
}  // namespace

void Zip::zipFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                   ZipCompression compression, const ProgressHandler& progress) {
    const auto items = ZipUtilities().processZipPaths(paths);
    double totalSize = 0;
    for (const auto& item : items) totalSize += static_cast<double>(fileSize(item.filePath()).value_or(0));
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(totalSize));

    ArchiveWriter archive(zipFilePath.path(), minizipCompression(compression), password);
    ArchivePacker packer(archive, minizipCompression(compression), static_cast<std::uint64_t>(totalSize));
    double currentPosition = 0;
    for (const auto& item : items) {
        if (FileSystem::isDirectory(item.filePath())) continue;
        auto input = InputFile::open(item.filePath());
        if (!input) packer.fail();
        const auto attributes = input->attributes();
        if (attributes) currentPosition += static_cast<double>(attributes->size);
        const auto date = EntryDate::fromModificationTime(attributes ? std::optional(attributes->modified) : std::nullopt);
        // Reported once the entry is in the archive, which may be after later files were read.
        auto written = [&progress, &progressObject, totalSize, position = currentPosition] {
            // With nothing to count (only empty or unreadable files) every entry is all of the work.
            const double fraction = totalSize > 0 ? position / totalSize : 1.0;
            if (progress && fraction != 1.0) progress(fraction);
            progressObject->setCompletedUnitCount(static_cast<std::int64_t>(position));
        };
        packer.addFile(*input, {item.fileName.value_or(item.filePathURL.lastPathComponent()), date,
                                attributes ? attributes->size : 0, std::move(written)});
    }
    packer.finish();
    archive.commit();
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(totalSize));
}

void Zip::zipData(const std::vector<ArchiveFile>& archiveFiles, const Url& zipFilePath,
                  const std::optional<std::string>& password, ZipCompression compression, const ProgressHandler& progress) {
    std::uint64_t totalSize = 0;
    for (const auto& file : archiveFiles) totalSize += file.data ? file.data->size() : 0;
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(totalSize));

    ArchiveWriter archive(zipFilePath.path(), minizipCompression(compression), password);
    ArchivePacker packer(archive, minizipCompression(compression), totalSize);
    std::uint64_t currentPosition = 0;
    for (const auto& file : archiveFiles) {
        if (!file.data || file.data->empty()) continue;
        currentPosition += file.data->size();
        auto written = [&progress, &progressObject, totalSize, position = currentPosition] {
            if (progress) progress(static_cast<double>(position) / static_cast<double>(totalSize));
            progressObject->setCompletedUnitCount(static_cast<std::int64_t>(position));
        };
        packer.addBytes(
            file.data, bytesOf(*file.data),
            {file.filename, EntryDate::fromModificationTime(file.modifiedTime), file.data->size(), std::move(written)});
    }
    packer.finish();
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
