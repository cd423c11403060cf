#include "Zip/ZipUtilities.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <algorithm>
#include <filesystem>

namespace corvantis::zip {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Url;

namespace {
// Adds the relative paths of the non-folder items below `folder/relative`, depth first.
void walk(const std::filesystem::path& folder, const std::string& relative, std::vector<std::string>& found) {
    std::error_code error;
    std::vector<std::filesystem::directory_entry> entries;
    for (std::filesystem::directory_iterator it(folder / relative, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(*it);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& entry : entries) {
        const std::string path =
            relative.empty() ? entry.path().filename().string() : relative + "/" + entry.path().filename().string();
        if (FileSystem::isDirectory(entry.path())) {
            if (!entry.is_symlink(error)) walk(folder, path, found);
        } else {
            found.push_back(path);
        }
    }
}
}  // namespace

std::vector<ZipUtilities::ProcessedFilePath> ZipUtilities::processZipPaths(const std::vector<Url>& paths) {
    std::vector<ProcessedFilePath> processed;
    for (const auto& path : paths) {
        if (FileSystem::isDirectory(path.path())) {
            auto expanded = expandDirectoryFilePath(path);
            processed.insert(processed.end(), std::make_move_iterator(expanded.begin()), std::make_move_iterator(expanded.end()));
        } else {
            processed.push_back(ProcessedFilePath{path, path.lastPathComponent()});
        }
    }
    return processed;
}

std::vector<ZipUtilities::ProcessedFilePath> ZipUtilities::expandDirectoryFilePath(const Url& directory) {
    std::vector<std::string> relativePaths;
    walk(directory.path(), "", relativePaths);
    std::vector<ProcessedFilePath> processed;
    processed.reserve(relativePaths.size());
    const std::string root = directory.lastPathComponent();
    for (const auto& relative : relativePaths) {
        const std::string name = includeRootDirectory ? root + "/" + relative : relative;
        processed.push_back(ProcessedFilePath{directory.appendingPathComponent(relative), name});
    }
    return processed;
}

}  // namespace corvantis::zip
