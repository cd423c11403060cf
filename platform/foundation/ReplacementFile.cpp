#include "platform/foundation/ReplacementFile.hpp"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::foundation {

namespace {
constexpr std::size_t longestNamePrefix = 200;  // keeps ".<prefix>.XXXXXX" within NAME_MAX
constexpr std::size_t suffixLength = 6;

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

// Locks a new file for as long as its writer has it. False only when a cleaner holds the lock
// and is about to remove the file. A file system without locks gives none, and then never lets
// a cleaner take a temporary for abandoned either.
bool lockNewFile(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Removes a temporary whose writer is gone: one of ours, a regular file, its lock free, and the
// name still leads to the file that was locked.
void removeIfAbandoned(int folder, const std::string& name) {
    FileDescriptor file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat locked {};
    if (!file.isOpen() || ::fstat(file.get(), &locked) != 0 || !S_ISREG(locked.st_mode) || locked.st_uid != ::geteuid()) {
        return;
    }
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return;
    struct stat named {};
    if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == locked.st_dev &&
        named.st_ino == locked.st_ino) {
        ::unlinkat(folder, name.c_str(), 0);
    }
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
    if (unnamed.isOpen()) {
        lockNewFile(unnamed.get());  // nobody else can reach it yet
        return ReplacementFile(std::move(folder), name, {}, std::move(unnamed));
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return Error::fromErrno("Cannot create a temporary file for " + name);
    }
    // Folders whose file system has no unnamed files get a hidden temporary one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporaryName = temporaryPrefix(name) + randomSuffix();
        FileDescriptor file(
            ::openat(folder.get(), temporaryName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.isOpen()) {
            // A cleaner that found the file before it was locked has removed it or is about to.
            struct stat info {};
            if (lockNewFile(file.get()) && ::fstat(file.get(), &info) == 0 && info.st_nlink > 0) {
                return ReplacementFile(std::move(folder), name, std::move(temporaryName), std::move(file));
            }
            continue;
        }
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
    // Removed while still locked, so no cleaner ever sees it abandoned under its name.
    if (!temporaryName_.empty()) ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
    file_ = FileDescriptor();
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
    // The lock lives on in a duplicate until the rename is done.
    const FileDescriptor lock(::fcntl(file_.get(), F_DUPFD_CLOEXEC, 0));
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
    const auto folderPath = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen()) return;
    const std::string prefix = temporaryPrefix(target.filename().string());
    std::error_code error;
    for (std::filesystem::directory_iterator entries(folderPath, error), end; !error && entries != end;
         entries.increment(error)) {
        const std::string entry = entries->path().filename().string();
        if (entry.size() == prefix.size() + suffixLength && entry.starts_with(prefix)) removeIfAbandoned(folder.get(), entry);
    }
}

}  // namespace platform::foundation
