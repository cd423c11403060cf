#include "platform/foundation/ReplacementFile.hpp"

#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace platform::foundation {

namespace {
constexpr std::size_t longestNamePrefix = 200;  // keeps ".<prefix>.XXXXXX" within NAME_MAX

std::string randomSuffix() {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string suffix(6, 'X');
    for (auto& c : suffix) c = letters[pick(generator)];
    return suffix;
}
}  // namespace

ReplacementFile::ReplacementFile(FileDescriptor directory, std::string name, std::string temporaryName, FileDescriptor file)
    : directory_(std::move(directory)), name_(std::move(name)), temporaryName_(std::move(temporaryName)), file_(std::move(file)) {}

Expected<ReplacementFile> ReplacementFile::create(int directory, const std::string& name) {
    FileDescriptor folder(::fcntl(directory, F_DUPFD_CLOEXEC, 0));
    if (!folder.isOpen()) return Error::fromErrno("Cannot use the folder of " + name);
    const std::string prefix = "." + name.substr(0, longestNamePrefix) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporaryName = prefix + randomSuffix();
        FileDescriptor file(::openat(folder.get(), temporaryName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.isOpen()) return ReplacementFile(std::move(folder), name, std::move(temporaryName), std::move(file));
        if (errno != EEXIST) return Error::fromErrno("Cannot create a temporary file for " + name);
    }
    return Error{EEXIST, "Cannot create a temporary file for " + name + ": every name tried is taken"};
}

Expected<ReplacementFile> ReplacementFile::create(const std::filesystem::path& target) {
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.isOpen()) return Error::fromErrno("Cannot open the folder " + folder.string());
    return create(directory.get(), target.filename().string());
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        directory_ = std::move(other.directory_);
        name_ = std::move(other.name_);
        temporaryName_ = std::move(other.temporaryName_);
        file_ = std::move(other.file_);
    }
    return *this;
}

ReplacementFile::~ReplacementFile() {
    discard();
}

void ReplacementFile::discard() {
    if (!file_.isOpen()) return;
    file_ = FileDescriptor();
    ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
}

Expected<void> ReplacementFile::commit() {
    if (::close(file_.release()) != 0) {
        const int error = errno;
        ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
        return Error::fromErrno("Cannot write " + name_, error);
    }
    if (::renameat(directory_.get(), temporaryName_.c_str(), directory_.get(), name_.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
        return Error::fromErrno("Cannot replace " + name_, error);
    }
    return {};
}

}  // namespace platform::foundation
