#include "platform/foundation/ReplacementFile.hpp"

#include "platform/Services.hpp"

#include <chrono>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation {

namespace {
constexpr std::size_t longestNamePrefix = 200;  // keeps ".<prefix>.XXXXXX" within NAME_MAX
constexpr std::size_t suffixLength = 6;
// Temporaries older than this are left over from a writer that died between naming its file
// and renaming it; a live writer takes microseconds for that step.
constexpr std::chrono::seconds staleAfter{60};

std::string temporaryPrefix(const std::string& name) {
    return "." + name.substr(0, longestNamePrefix) + ".";
}

std::string randomSuffix() {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string suffix(suffixLength, 'X');
    for (auto& c : suffix) c = letters[pick(generator)];
    return suffix;
}
}  // namespace

ReplacementFile::ReplacementFile(FileDescriptor directory, std::string name, std::string temporaryName, FileDescriptor file)
    : directory_(std::move(directory)),
      name_(std::move(name)),
      temporaryName_(std::move(temporaryName)),
      file_(std::move(file)) {}

Expected<ReplacementFile> ReplacementFile::create(int directory, const std::string& name) {
    FileDescriptor folder(::fcntl(directory, F_DUPFD_CLOEXEC, 0));
    if (!folder.isOpen()) return Error::fromErrno("Cannot use the folder of " + name);
    // A file without a name: a crash while it is written leaves nothing behind.
    FileDescriptor unnamed(::openat(folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (unnamed.isOpen()) return ReplacementFile(std::move(folder), name, {}, std::move(unnamed));
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Error::fromErrno("Cannot create a temporary file for " + name);
    }
    // Folders whose file system has no unnamed files get a hidden temporary one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporaryName = temporaryPrefix(name) + randomSuffix();
        FileDescriptor file(
            ::openat(folder.get(), temporaryName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
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
    if (!temporaryName_.empty()) ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
}

Expected<void> ReplacementFile::nameUnnamedFile() {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporaryName = temporaryPrefix(name_) + randomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), directory_.get(), temporaryName.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            ::linkat(file_.get(), "", directory_.get(), temporaryName.c_str(), AT_EMPTY_PATH) == 0) {
            temporaryName_ = std::move(temporaryName);
            return {};
        }
        if (errno != EEXIST) return Error::fromErrno("Cannot name the new " + name_);
    }
    return Error{EEXIST, "Cannot name the new " + name_ + ": every name tried is taken"};
}

Expected<void> ReplacementFile::commit() {
    if (temporaryName_.empty()) {
        if (auto named = nameUnnamedFile(); !named) {
            file_ = FileDescriptor();
            return named;
        }
    }
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

void ReplacementFile::removeStaleTemporaries(const std::filesystem::path& target) {
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const std::string prefix = temporaryPrefix(target.filename().string());
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folder, error), end; !error && entries != end; entries.increment(error)) {
        const std::string entry = entries->path().filename().string();
        if (entry.size() != prefix.size() + suffixLength || !entry.starts_with(prefix)) continue;
        struct stat info {};
        if (::lstat(entries->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        // Linking the file gave it this change time.
        const auto changed = std::chrono::system_clock::from_time_t(info.st_ctim.tv_sec);
        if (Services::current().wallNow() - changed > staleAfter) ::unlink(entries->path().c_str());
    }
}

}  // namespace platform::foundation
