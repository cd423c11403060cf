// The Documents-folder shortcuts of `Zip`.
#include "Zip/Zip.hpp"

#include "platform/Services.hpp"

namespace corvantis::zip {

namespace {
// A name that stays one item directly inside the Documents folder.
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::optional<Zip::Url> documentsFolder() {
    const auto documents = platform::Services::current().documentsDirectory();
    if (!documents) return std::nullopt;
    return Zip::Url::fileUrl(documents->string(), true);
}

std::string removingEvery(std::string text, const std::string& part) {
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at)) text.erase(at, part.size());
    return text;
}
}  // namespace

Zip::Url Zip::quickUnzipFile(const Url& path, const ProgressHandler& progress) {
    try {
        const auto documents = documentsFolder();
        const std::string folderName = removingEvery(path.lastPathComponent(), "." + path.pathExtension());
        if (!documents || !isPlainName(folderName)) throw ZipError(ZipError::unzipFail);
        const Url destination = documents->appendingPathComponent(folderName, true);
        unzipFile(path, destination, true, std::nullopt, progress, {});
        return destination;
    } catch (const ZipError&) {
        throw ZipError(ZipError::unzipFail);
    }
}

Zip::Url Zip::quickZipFiles(const std::vector<Url>& paths, const std::string& fileName, const ProgressHandler& progress) {
    const auto documents = documentsFolder();
    if (!documents || !isPlainName(fileName)) throw ZipError(ZipError::zipFail);
    const Url archive = documents->appendingPathComponent(fileName + ".zip");
    zipFiles(paths, archive, std::nullopt, ZipCompression::DefaultCompression, progress);
    return archive;
}

}  // namespace corvantis::zip
