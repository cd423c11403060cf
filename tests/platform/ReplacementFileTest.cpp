#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ReplacementFile.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::ReplacementFile;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

std::size_t itemsIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(ReplacementFile, TakesTheTargetsPlaceOnlyWhenCommitted) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "target", "old", 0644));
    {
        auto dropped = ReplacementFile::create(folder / "target");
        ASSERT_TRUE(dropped);
        ASSERT_EQ(::write(dropped.value().fd(), "half", 4), 4);
        // Nothing that a crash now could leave behind.
        EXPECT_EQ(itemsIn(folder.path()), 1u);
    }
    EXPECT_EQ(FileSystem::readFile(folder / "target").value(), "old");
    EXPECT_EQ(itemsIn(folder.path()), 1u);

    const mode_t previous = ::umask(027);
    auto file = ReplacementFile::create(folder / "target");
    ::umask(previous);
    ASSERT_TRUE(file);
    ASSERT_EQ(::write(file.value().fd(), "new", 3), 3);
    ASSERT_TRUE(file.value().commit());
    EXPECT_EQ(FileSystem::readFile(folder / "target").value(), "new");
    struct stat info {};
    ASSERT_EQ(::stat((folder / "target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ReplacementFile, ReplacesASymbolicLinkInsteadOfWritingThroughIt) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "elsewhere", "keep", 0644));
    std::filesystem::create_symlink(folder / "elsewhere", folder / "link");
    auto file = ReplacementFile::create(folder / "link");
    ASSERT_TRUE(file);
    ASSERT_EQ(::write(file.value().fd(), "mine", 4), 4);
    ASSERT_TRUE(file.value().commit());
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "link"));
    EXPECT_EQ(FileSystem::readFile(folder / "link").value(), "mine");
    EXPECT_EQ(FileSystem::readFile(folder / "elsewhere").value(), "keep");
}

TEST(ReplacementFile, FailuresAreValues) {
    TemporaryFolder folder;
    EXPECT_FALSE(ReplacementFile::create(folder / "missing" / "target"));
    std::filesystem::create_directories(folder / "taken");
    auto file = ReplacementFile::create(folder / "taken");
    ASSERT_TRUE(file);
    EXPECT_FALSE(file.value().commit());
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ReplacementFile, OnlyAbandonedTemporariesOfTheSameTargetAreRemoved) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "settings.json", "{}", 0600));
    for (const char* name : {".settings.json.Ab3dE9", ".other.json.Ab3dE9", ".settings.json.notmine"}) {
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / name, "copy", 0600));
    }
    ReplacementFile::removeStaleTemporaries(folder / "settings.json");
    EXPECT_FALSE(FileSystem::fileExists(folder / ".settings.json.Ab3dE9"));
    EXPECT_EQ(itemsIn(folder.path()), 3u);
}

bool isRename(unsigned long long call) {
#ifdef SYS_renameat
    if (call == SYS_renameat) return true;
#endif
    return call == SYS_renameat2;
}

// A writer in a child process that this test, its tracer, holds on its way into rename(2): its
// temporary is named and locked, as in the instant a killed writer leaves one behind.
class WriterHeldBeforeRename {
public:
    explicit WriterHeldBeforeRename(const std::function<void()>& write) : pid_(::fork()) {
        if (pid_ == 0) {
            if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(1);
            ::raise(SIGSTOP);
            write();
            ::_exit(0);
        }
        int status = 0;
        if (pid_ < 0 || ::waitpid(pid_, &status, 0) != pid_ || !WIFSTOPPED(status)) return;
        traced_ = true;
        ::ptrace(PTRACE_SETOPTIONS, pid_, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
        long signal = 0;
        while (::ptrace(PTRACE_SYSCALL, pid_, nullptr, signal) == 0 && ::waitpid(pid_, &status, 0) == pid_ &&
               WIFSTOPPED(status)) {
            signal = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
            __ptrace_syscall_info call{};
            if (signal == 0 && ::ptrace(PTRACE_GET_SYSCALL_INFO, pid_, sizeof call, &call) > 0 &&
                call.op == PTRACE_SYSCALL_INFO_ENTRY && isRename(call.entry.nr)) {
                held_ = true;
                return;
            }
        }
    }
    ~WriterHeldBeforeRename() { kill(); }

    // Whether the machine let the test trace its child at all.
    bool traced() const { return traced_; }
    bool held() const { return held_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_;
    bool traced_ = false;
    bool held_ = false;
};

std::vector<std::filesystem::path> hiddenItemsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> hidden;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        if (item.path().filename().string().starts_with('.')) hidden.push_back(item.path());
    }
    return hidden;
}

TEST(ReplacementFile, AKilledWritersTemporaryGoesAtTheNextOpenOfItsStoreALiveOnesStays) {
    using platform::foundation::UserDefaults;
    using platform::security::KeychainStore;
    struct Store {
        const char* file;
        std::function<void(const std::filesystem::path&)> open;
        std::function<void(const std::filesystem::path&)> writeSecret;
    };
    const std::vector<Store> stores = {
        {"settings.json", [](const auto& file) { UserDefaults::open(file); },
         [](const auto& file) { (void)UserDefaults::open(file)->set("hunter2", "password"); }},
        {"keychain.json", [](const auto& file) { KeychainStore::open(file); },
         [](const auto& file) {
             (void)KeychainStore::open(file)->add({.service = "Corvantis", .valueData = "hunter2", .persistentRef = {}});
         }},
    };
    for (const auto& store : stores) {
        TemporaryFolder folder;
        const auto file = folder / store.file;
        WriterHeldBeforeRename writer([&] { store.writeSecret(file); });
        if (!writer.traced()) GTEST_SKIP() << "this machine lets no process trace its child";
        ASSERT_TRUE(writer.held()) << store.file;
        const auto temporaries = hiddenItemsIn(folder.path());
        ASSERT_EQ(temporaries.size(), 1u) << store.file;

        store.open(file);
        EXPECT_TRUE(std::filesystem::exists(temporaries[0])) << store.file << ": its writer still lives";
        writer.kill();
        store.open(file);
        EXPECT_FALSE(std::filesystem::exists(temporaries[0])) << store.file << ": its writer is dead";
        EXPECT_EQ(itemsIn(folder.path()), 0u) << store.file;
    }
}

}  // namespace
