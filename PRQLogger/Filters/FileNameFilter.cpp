#include "PRQLogger/Filters/FileNameFilter.hpp"

#include "PRQLogger/Filters/MatchListDescription.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "platform/foundation/PathText.hpp"

namespace prq {

FileNameFilter::FileNameFilter(CreationKey, bool inverse, const TextSequence& fileNames, bool excludePathWhenMatching)
    : createdInverse_(inverse), createdExcludePath_(excludePathWhenMatching), createdFileNames_(fileNames.texts()) {}

std::shared_ptr<FileNameFilter> FileNameFilter::includeFrom(const TextSequence& fileNames, bool excludePathWhenMatching) {
    return create<FileNameFilter>(true, fileNames, excludePathWhenMatching);
}

std::shared_ptr<FileNameFilter> FileNameFilter::excludeFrom(const TextSequence& fileNames, bool excludePathWhenMatching) {
    return create<FileNameFilter>(false, fileNames, excludePathWhenMatching);
}

void FileNameFilter::didCreate(CreationKey) {
    setInverse(createdInverse_);
    setExcludePath(createdExcludePath_);
    add(TextSequence(std::exchange(createdFileNames_, {})));
}

bool FileNameFilter::inverse() const {
    return inverse_;
}
void FileNameFilter::setInverse(bool inverse) {
    inverse_ = inverse;
}
bool FileNameFilter::excludePath() const {
    return excludePath_;
}
void FileNameFilter::setExcludePath(bool excludePath) {
    excludePath_ = excludePath;
}
const MatchSet& FileNameFilter::fileNamesToMatch() const {
    return fileNamesToMatch_;
}
void FileNameFilter::setFileNamesToMatch(MatchSet fileNames) {
    fileNamesToMatch_ = std::move(fileNames);
}

bool FileNameFilter::add(const std::string& fileName) {
    auto names = fileNamesToMatch();
    const bool inserted = names.insert(comparable(fileName)).second;
    setFileNamesToMatch(std::move(names));
    return inserted;
}

void FileNameFilter::add(const TextSequence& fileNames) {
    for (const auto& fileName : fileNames.texts()) add(fileName);
}

void FileNameFilter::clear() {
    setFileNamesToMatch({});
}

bool FileNameFilter::shouldExclude(LogDetails& logDetails, std::string&) {
    const std::string_view fileName = logDetails.fileName;
    const bool matched =
        fileNamesToMatch().contains(excludePath() ? platform::foundation::lastPathComponent(fileName) : fileName);
    return inverse() ? !matched : matched;
}

std::string FileNameFilter::debugDescription() const {
    return extractTypeName(*this) + ": " + matchListDescription(inverse(), fileNamesToMatch());
}

std::string FileNameFilter::comparable(std::string_view fileName) const {
    return std::string(excludePath() ? platform::foundation::lastPathComponent(fileName) : fileName);
}

}  // namespace prq
