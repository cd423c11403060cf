// scripts/install and scripts/uninstall as an administrator runs them (sudo, the default prefix),
// over a private copy of the system's folders inside scripts/sandbox.

#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/LoginItem.hpp"
#include "platform/foundation/EmbeddedInfoDictionary.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"
#include "platform/servicemanagement/SystemdJobPaths.hpp"
#include "support/HelperProgram.hpp"
#include "support/PrivateSystem.hpp"
#include "support/ProgramRun.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>

using platform::servicemanagement::JobConfiguration;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

using Paths = std::vector<std::filesystem::path>;
constexpr const char* label = "com.corvantis.CorvantisHelper";
constexpr uid_t alice = 4242;
const std::filesystem::path bundle = "/usr/local/lib/corvantis-vpn";
const std::filesystem::path helper = bundle / "Contents/Library/LaunchServices" / label;

// The script as "sudo scripts/SCRIPT" would run it for the user alice.
platform::foundation::FinishedProcess runScript(const std::string& script) {
    return corvantis::testing::runProgram({"/usr/bin/env",
                                           {"SUDO_UID=" + std::to_string(alice), std::string("BUILD_DIR=") + CORVANTIS_BUILD_DIR,
                                            std::string(CORVANTIS_SOURCE_DIR) + "/scripts/" + script},
                                           {}});
}

void write(const std::filesystem::path& path, const std::string& content) {
    ASSERT_TRUE(FileSystem::createDirectories(path.parent_path()));
    ASSERT_TRUE(FileSystem::writeFileAtomically(path, content, 0644));
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!corvantis::testbed::inSandbox())
            GTEST_SKIP() << "installs into the system's folders: runs only through scripts/sandbox";
        system.emplace();
        ASSERT_TRUE(system->ready()) << "the system's folders could not be made private";
        system->addUser("alice", alice);
        const auto installed = runScript("install");
        ASSERT_TRUE(installed.exit.succeeded()) << installed.standardOutput << installed.standardError;
        output = installed.standardOutput;
    }

    std::optional<corvantis::testing::PrivateSystem> system;
    std::string output;
};

TEST_F(InstallTest, TheBundleIsStrippedUnder25MegabytesAndConfiguredAsTheApplicationConfiguresItsHelper) {
    std::smatch sizes;
    ASSERT_TRUE(std::regex_search(output, sizes,
                                  std::regex("install: sizes: helper ([0-9.]+) MB, application ([0-9.]+) MB, whole bundle "
                                             "([0-9.]+) MB\n")))
        << output;
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(bundle)) {
        if (entry.is_regular_file() && !entry.is_symlink()) total += entry.file_size();
    }
    EXPECT_LT(total, 25'000'000u) << output;
    EXPECT_LT(std::stod(sizes[3]), 25.0);
    for (const auto& program : {bundle / "corvantis-vpn", helper}) {
        const auto sections = corvantis::testing::runProgram({"/usr/bin/readelf", {"-S", program.string()}, {}});
        EXPECT_EQ(sections.standardOutput.find(".debug_"), std::string::npos) << program << " still has debug information";
    }
    // Stripping keeps what the version check reads.
    EXPECT_EQ(platform::foundation::embeddedInfoDictionary(helper),
              platform::foundation::embeddedInfoDictionary(corvantis::testing::helperProgram()));

    JobConfiguration fromTheApplication;
    ASSERT_TRUE(fromTheApplication.serve({bundle / "Resources", bundle / "corvantis-vpn", alice}));
    const platform::servicemanagement::SystemdJobPaths paths;
    EXPECT_EQ(FileSystem::readFile(paths.configuration(label)).value(), fromTheApplication.text());
}

TEST_F(InstallTest, UninstallRemovesWhatTheInstallAndTheHelperMadeAndSaysSo) {
    // What the helper makes while it serves, where it makes it.
    const corvantis::helper::HelperConfiguration made;
    const platform::servicemanagement::SystemdJobPaths job;
    const std::filesystem::path aliceHome = "/home/alice";
    const Paths helperFiles{made.systemKeychain,
                            made.networkPreferences,
                            made.guard.preferences,
                            made.guard.script,
                            made.guard.unitFolder / "com.corvantis.CorvantisGuard.service",
                            job.program(label),
                            job.serviceUnit(label),
                            job.socketUnit(label),
                            made.runtimeFolder / "run-7" / "credentials",
                            made.resolver.backup,
                            aliceHome / ".config/autostart" / corvantis::helper::LoginItem::entryName,
                            std::filesystem::path("/root/.config/autostart") / corvantis::helper::LoginItem::entryName};
    for (const auto& path : helperFiles) write(path, corvantis::helper::LoginItem::desktopEntry(bundle / "corvantis-vpn"));
    // What is the user's own stays.
    const Paths usersOwn{aliceHome / ".config/autostart/other-program.desktop", aliceHome / ".config/corvantis/defaults.json"};
    for (const auto& path : usersOwn) write(path, "[Desktop Entry]\nName=Another program\n");

    const auto uninstalled = runScript("uninstall");
    ASSERT_TRUE(uninstalled.exit.succeeded()) << uninstalled.standardOutput << uninstalled.standardError;
    for (const auto& path : helperFiles) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    for (const auto& listed : Paths{"/etc/corvantis", "/var/lib/corvantis", made.runtimeFolder, made.resolver.backup,
                                    job.program(label).parent_path(), job.serviceUnit(label), helperFiles[10], bundle}) {
        EXPECT_NE(uninstalled.standardOutput.find("uninstall: removed " + listed.string() + "\n"), std::string::npos)
            << listed << " in\n"
            << uninstalled.standardOutput;
    }
    for (const auto& path : usersOwn) EXPECT_TRUE(std::filesystem::exists(path)) << path;

    Paths leftovers;
    for (const auto& path : system->writtenFiles()) {
        std::string text = path.string();
        std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
        if (text.find("corvantis") != std::string::npos && !path.string().starts_with((aliceHome / ".config/corvantis").string()))
            leftovers.push_back(path);
    }
    EXPECT_TRUE(leftovers.empty()) << ::testing::PrintToString(leftovers);
}

// "--help" prints the script's opening comment, every line of it and nothing of the shell below.
TEST(InstallScriptsHelp, PrintsTheOpeningCommentAndNoShell) {
    for (const std::string script : {"install", "uninstall"}) {
        const std::string path = std::string(CORVANTIS_SOURCE_DIR) + "/scripts/" + script;
        std::ifstream in(path);
        std::string line;
        std::string comment;
        std::getline(in, line);  // the interpreter line
        while (std::getline(in, line) && line.starts_with("#")) comment += line.substr(line.starts_with("# ") ? 2 : 1) + "\n";
        const auto help = corvantis::testing::runProgram({path, {"--help"}, {}});
        EXPECT_TRUE(help.exit.succeeded()) << script;
        EXPECT_EQ(help.standardOutput, comment) << script;
    }
}

}  // namespace
