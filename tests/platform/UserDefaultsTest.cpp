#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::UserDefaults;
using platform::foundation::FileSystem::readFile;

namespace {

TEST(UserDefaults, TellsAnAbsentKeyFromAnEmptyValue) {
    TemporaryFolder folder;
    auto defaults = UserDefaults::open(folder / "settings.json");
    EXPECT_EQ(defaults->string("username"), std::nullopt);
    ASSERT_TRUE(defaults->set("", "username"));
    EXPECT_EQ(defaults->string("username"), std::optional<std::string>(""));
    ASSERT_TRUE(defaults->removeObject("username"));
    EXPECT_EQ(defaults->object("username"), std::nullopt);
}

TEST(UserDefaults, TypedReadsFollowTheSystemsConversions) {
    TemporaryFolder folder;
    auto defaults = UserDefaults::open(folder / "settings.json");
    ASSERT_TRUE(defaults->set(true, "killSwitch"));
    ASSERT_TRUE(defaults->set(2, "protocol"));
    ASSERT_TRUE(defaults->set("YES", "textFlag"));
    ASSERT_TRUE(defaults->set("1194", "portText"));
    ASSERT_TRUE(defaults->set(1.75, "ratio"));
    ASSERT_TRUE(defaults->set(nlohmann::json::array({1, 2}), "list"));

    EXPECT_TRUE(defaults->boolValue("killSwitch"));
    EXPECT_TRUE(defaults->boolValue("protocol"));
    EXPECT_TRUE(defaults->boolValue("textFlag"));
    EXPECT_FALSE(defaults->boolValue("missing"));
    EXPECT_FALSE(defaults->boolValue("list"));
    EXPECT_EQ(defaults->integer("protocol"), 2);
    EXPECT_EQ(defaults->integer("portText"), 1194);
    EXPECT_EQ(defaults->integer("ratio"), 1);
    EXPECT_EQ(defaults->integer("missing"), 0);
    EXPECT_DOUBLE_EQ(defaults->doubleValue("ratio"), 1.75);
    EXPECT_EQ(defaults->string("protocol"), std::optional<std::string>("2"));
    EXPECT_EQ(defaults->string("killSwitch"), std::nullopt);
    EXPECT_EQ(defaults->string("list"), std::nullopt);
}

TEST(UserDefaults, WritesThroughToAPrivateFileThatANewStoreReads) {
    TemporaryFolder folder;
    const auto file = folder / "nested" / "settings.json";
    {
        auto defaults = UserDefaults::open(file);
        ASSERT_TRUE(defaults->set("user@example.com", "username"));
        ASSERT_TRUE(defaults->set("Zürich \xff", "broken"));
    }
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    auto reloaded = UserDefaults::open(file);
    EXPECT_EQ(reloaded->loadProblem(), std::nullopt);
    EXPECT_EQ(reloaded->string("username"), std::optional<std::string>("user@example.com"));
    EXPECT_TRUE(reloaded->string("broken")->starts_with("Zürich "));
}

TEST(UserDefaults, CorruptFileIsKeptAsideAndReported) {
    TemporaryFolder folder;
    const auto file = folder / "settings.json";
    for (const char* content : {"{\"username\": \"cut off", "[1, 2]", "\x00\x01"}) {
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(file, content, 0600));
        auto defaults = UserDefaults::open(file);
        ASSERT_TRUE(defaults->loadProblem()) << content;
        EXPECT_NE(defaults->loadProblem()->message.find("kept as"), std::string::npos);
        EXPECT_EQ(defaults->dictionaryRepresentation(), nlohmann::json::object());
        EXPECT_FALSE(platform::foundation::FileSystem::fileExists(file));

        bool keptAside = false;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().filename().string().starts_with("settings.json.corrupt-")) {
                keptAside = readFile(entry.path()).value() == std::string(content);
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_TRUE(keptAside) << content;
    }
}

TEST(UserDefaults, ACrashMidWriteLeavesTheOldOrTheNewValueNeverGarbage) {
    TemporaryFolder folder;
    const auto file = folder / "settings.json";
    const std::string payload(64 * 1024, 'x');
    for (int round = 0; round < 20; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto defaults = UserDefaults::open(file);
            for (long long i = 0;; ++i) {
                // Writes until the parent kills it mid-write; the parent checks what the file holds.
                (void)defaults->set(nlohmann::json{{"counter", i}, {"payload", payload}}, "state");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 7 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        auto defaults = UserDefaults::open(file);
        EXPECT_EQ(defaults->loadProblem(), std::nullopt) << "round " << round;
        const auto state = defaults->object("state");
        if (state) {
            EXPECT_TRUE((*state)["counter"].is_number_integer());
            EXPECT_EQ((*state)["payload"], payload);
        }
    }
    // No copy of the settings (which hold the account's password) outlives its writer: at most
    // one named in the instant before its rename, which the next start clears away.
    UserDefaults::open(file);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".settings.json.")) << entry.path();
    }
}

TEST(UserDefaults, StandardComesFromTheInstalledServices) {
    TemporaryFolder folder;
    platform::Services services;
    services.userDefaultsOverride = UserDefaults::open(folder / "settings.json");
    platform::ScopedServices scope(services);
    EXPECT_EQ(UserDefaults::standard(), services.userDefaultsOverride);
}

TEST(UserDefaults, AFailedWriteIsReportedAndTheValueStaysInMemory) {
    TemporaryFolder folder;
    // A plain file where the settings folder should be: no user, root included, can write there.
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "blocked", "x", 0600));
    auto defaults = UserDefaults::open(folder / "blocked" / "settings.json");
    const auto stored = defaults->set("value", "key");
    ASSERT_FALSE(stored);
    EXPECT_EQ(stored.error().code, ENOTDIR);
    EXPECT_EQ(defaults->string("key"), std::optional<std::string>("value"));
}

}  // namespace
