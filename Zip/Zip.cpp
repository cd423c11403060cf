#include "Zip/Zip.hpp"

#include "Zip/ArchivePacker.hpp"
#include "Zip/ArchiveWriter.hpp"
#include "Zip/InputFile.hpp"
#include "Zip/Unzipper.hpp"
#include "Zip/ZipUtilities.hpp"
#include "platform/foundation/Progress.hpp"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace corvantis::zip {

using platform::foundation::Expected;
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

// One file to pack.
struct Item {
    ZipUtilities::ProcessedFilePath file;
    // The folder that the file must lie in, reached from it without a link; none: links followed.
    std::optional<std::filesystem::path> folder;
};

Expected<InputFile> openItem(const Item& item) {
    if (!item.folder) return InputFile::open(item.file.filePath());
    return InputFile::openBeneath(*item.folder, std::filesystem::path(item.file.filePath()).lexically_relative(*item.folder));
}

// What the item adds to the total: a regular file's size, a link counting only where it is followed.
std::optional<std::uint64_t> sizeToPack(const Item& item) {
    struct stat info {};
    const std::string path = item.file.filePath();
    if ((item.folder ? ::lstat(path.c_str(), &info) : ::stat(path.c_str(), &info)) != 0) return std::nullopt;
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::vector<Item> itemsFollowingLinks(const std::vector<Zip::Url>& paths) {
    std::vector<Item> items;
    for (auto& file : ZipUtilities().processZipPaths(paths)) items.push_back({std::move(file), std::nullopt});
    return items;
}

// A location that is a link is never expanded as a folder: it stays one item, refused when opened.
std::vector<Item> itemsWithoutLinks(const std::vector<Zip::Url>& paths) {
    std::vector<Item> items;
    ZipUtilities utilities;
    for (const auto& path : paths) {
        const std::filesystem::path location = path.path();
        std::error_code error;
        auto files = std::filesystem::is_symlink(location, error)
                         ? std::vector{ZipUtilities::ProcessedFilePath{path, path.lastPathComponent()}}
                         : utilities.processZipPaths({path});
        for (auto& file : files) items.push_back({std::move(file), location.parent_path()});
    }
    return items;
}

void packFiles(const std::vector<Item>& items, const Zip::Url& zipFilePath, const std::optional<std::string>& password,
               ZipCompression compression, const Zip::ProgressHandler& progress, const Zip::SkippedHandler& skipped) {
    double totalSize = 0;
    for (const auto& item : items) totalSize += static_cast<double>(sizeToPack(item).value_or(0));
    const auto progressObject = Progress::withTotalUnitCount(static_cast<std::int64_t>(totalSize));

    ArchiveWriter archive(zipFilePath.path(), minizipCompression(compression), password);
    ArchivePacker packer(archive, minizipCompression(compression), static_cast<std::uint64_t>(totalSize));
    double currentPosition = 0;
    for (const auto& item : items) {
        auto input = openItem(item);
        if (!input) {
            // A folder at packing time holds nothing to pack.
            if (input.error().code == EISDIR) continue;
            if (!skipped) packer.fail();
            skipped(item.file.filePathURL, input.error().message);
            continue;
        }
        const auto attributes = input.value().attributes();
        if (attributes) currentPosition += static_cast<double>(attributes->size);
        const auto date = EntryDate::fromModificationTime(attributes ? std::optional(attributes->modified) : std::nullopt);
        // Reported once the entry is in the archive, which may be after later files were read.
        auto written = [&progress, &progressObject, totalSize, position = currentPosition] {
            // With nothing to count (only empty or unreadable files) every entry is all of the work.
            const double fraction = totalSize > 0 ? position / totalSize : 1.0;
            if (progress && fraction != 1.0) progress(fraction);
            progressObject->setCompletedUnitCount(static_cast<std::int64_t>(position));
        };
        packer.addFile(input.value(), {item.file.fileName.value_or(item.file.filePathURL.lastPathComponent()), date,
                                       attributes ? attributes->size : 0, std::move(written)});
    }
    packer.finish();
    archive.commit();
    if (progress) progress(1.0);
    progressObject->setCompletedUnitCount(static_cast<std::int64_t>(totalSize));
}
}  // namespace

void Zip::zipFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                   ZipCompression compression, const ProgressHandler& progress) {
    packFiles(itemsFollowingLinks(paths), zipFilePath, password, compression, progress, {});
}

void Zip::zipRegularFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                          ZipCompression compression, const ProgressHandler& progress, const SkippedHandler& skipped) {
    packFiles(itemsWithoutLinks(paths), zipFilePath, password, compression, progress, skipped);
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
