// The helper and the kill-switch guard started in the sandbox that their systemd units describe
// (testbed/helper/unit-sandbox plays systemd's part), with the helper's installed defaults: each
// still does its work, writing only where its unit lets it.

#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"
#include "HelperService/CorvantisHelper/LoginItem.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"
#include "platform/servicemanagement/SystemdJobInstaller.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/Patience.hpp"
#include "support/PrivateSystem.hpp"
#include "support/ProgramRun.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/ReachableCopy.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <mutex>
#include <optional>
#include <sys/stat.h>

using corvantis::helper::HelperCall;
namespace FileSystem = platform::foundation::FileSystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* label = "com.corvantis.CorvantisHelper";
constexpr uid_t alice = 4242;
const std::string unitSandbox = std::string(CORVANTIS_SOURCE_DIR) + "/testbed/helper/unit-sandbox";

class HardenedUnitsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!corvantis::testbed::inSandbox())
            GTEST_SKIP() << "mounts over the system's folders: runs only through scripts/sandbox";
        system.emplace();
        ASSERT_TRUE(system->ready()) << "the system's folders could not be made private";
        system->addUser("alice", alice);
        // The programs where the installed ones lie: the units' sandboxes hide /tmp and the
        // homes, and alice cannot reach a build tree in root's.
        const auto copy = corvantis::testbed::ReachableCopy::in(installed);
        ASSERT_TRUE(copy) << copy.error().message;
        const auto copiedHelper =
            copy.value().program(corvantis::testing::helperProgram(), std::string("Contents/Library/LaunchServices/") + label);
        const auto copiedClient = copy.value().program(CORVANTIS_HELPER_TEST_CLIENT, "helper-test-client");
        ASSERT_TRUE(copiedHelper) << copiedHelper.error().message;
        ASSERT_TRUE(copiedClient) << copiedClient.error().message;
        helper = copiedHelper.value();
        client = copiedClient.value();
    }

    // Writes `text` as a unit file for unit-sandbox to read.
    std::filesystem::path unitFile(const std::string& name, const std::string& text) const {
        const auto path = std::filesystem::path("/tmp/units") / name;
        EXPECT_TRUE(FileSystem::createDirectories(path.parent_path()));
        EXPECT_TRUE(FileSystem::writeFileAtomically(path, text, 0644));
        return path;
    }

    const std::filesystem::path installed = "/usr/local/lib/corvantis-vpn";
    std::optional<corvantis::testing::PrivateSystem> system;
    const corvantis::helper::HelperConfiguration defaults;
    std::filesystem::path helper;
    std::filesystem::path client;
};

TEST_F(HardenedUnitsTest, TheHelperServesInItsUnitsSandbox) {
    const platform::servicemanagement::SystemdJobPaths paths;
    const platform::servicemanagement::SystemdJobInstaller installer(paths, platform::foundation::PosixProcessLauncher::shared());
    const auto unit = unitFile("helper.service", installer.serviceUnitText(label, {alice}));
    platform::servicemanagement::JobConfiguration configuration;
    ASSERT_TRUE(
        configuration.serve({"/usr/local/lib/corvantis-vpn/Resources", "/usr/local/lib/corvantis-vpn/corvantis-vpn", alice}));
    ASSERT_TRUE(configuration.write(paths.configuration(label)));
    ASSERT_TRUE(FileSystem::writeFileAtomically(defaults.resolver.etc, "nameserver 192.0.2.53\n", 0644));
    ASSERT_TRUE(FileSystem::createDirectories(paths.socketFolder));
    // Socket-activated, with nothing but what the unit and the installed configuration say.
    corvantis::testbed::HelperDaemon daemon(helper, paths.socket(label), {}, {unitSandbox, unit.string()});
    ::chmod(paths.socket(label).c_str(), 0666);  // the socket unit's SocketMode

    // The resolver backup lives in the helper's own /tmp, and the restore replaces the file in /etc.
    corvantis::testing::callUntilDone(paths.socket(label), HelperCall::backupResolvConf());
    std::filesystem::remove(defaults.resolver.etc);
    corvantis::testing::callUntilDone(paths.socket(label), HelperCall::restoreResolvConf());
    const auto restored = FileSystem::readFile(defaults.resolver.etc);
    EXPECT_EQ(restored ? restored.value() : "(none)", "nameserver 192.0.2.53\n");
    EXPECT_FALSE(std::filesystem::exists(defaults.resolver.backup)) << "the backup is not in the system's /tmp";

    // Launch at login for alice, written into her read-only-protected home as herself.
    const auto message = corvantis::helper::HelperWireCodec::encodeCall(
        HelperCall::runCommand(corvantis::helper::commandLine(corvantis::helper::AddLoginItem{}), true));
    const auto asAlice =
        corvantis::testing::runProgram({"/usr/bin/setpriv",
                                        {"--reuid=" + std::to_string(alice), "--regid=" + std::to_string(alice), "--clear-groups",
                                         client.string(), paths.socket(label).string(), message.dump()},
                                        {}});
    EXPECT_EQ(asAlice.exit.exitStatus, 0) << asAlice.standardError;
    EXPECT_TRUE(corvantis::testing::eventually([] {
        return std::filesystem::exists(std::filesystem::path("/home/alice/.config/autostart") /
                                       corvantis::helper::LoginItem::entryName);
    }));

    // The kill switch writes the guard's key file, script and unit (starting it needs systemd).
    const auto engage = corvantis::helper::commandLine(
        corvantis::helper::EngageKillSwitch{*corvantis::helper::Ipv4Address::parse("192.0.2.1"),
                                            "/usr/local/lib/corvantis-vpn/Resources/com.corvantis.CorvantisGuard.plist",
                                            "/usr/local/lib/corvantis-vpn/Resources/corvantis_guard.sh"});
    corvantis::testing::callUntilDone(paths.socket(label), HelperCall::runCommand(engage, true));
    EXPECT_TRUE(std::filesystem::exists(defaults.guard.preferences));
    EXPECT_TRUE(std::filesystem::exists(defaults.guard.unitFolder / "com.corvantis.CorvantisGuard.service"));
}

TEST_F(HardenedUnitsTest, TheGuardEnforcesInItsUnitsSandbox) {
    ASSERT_TRUE(FileSystem::createDirectories(defaults.guard.preferences.parent_path()));
    ASSERT_TRUE(FileSystem::writeFileAtomically(
        defaults.guard.preferences,
        corvantis::helper::GuardRules::keyFileText({*corvantis::helper::Ipv4Address::parse("192.0.2.1"), true}), 0600));
    const auto unit = unitFile("guard.service", corvantis::helper::KillSwitchGuard::unitText(defaults.guard.script));
    const auto launcher = platform::foundation::PosixProcessLauncher::shared();
    // What the guard says, and whether it ended: a guard that ends has failed, however soon.
    struct Heard {
        std::mutex mutex;
        std::string output;
        bool ended = false;
    };
    const auto heard = std::make_shared<Heard>();
    const auto guard = launcher->launch(
        {unitSandbox,
         {unit.string(), helper.string(), "--guard", defaults.guard.preferences.string(), "--nft", "/usr/sbin/nft"},
         {}},
        {[heard](platform::foundation::OutputStream, std::string_view chunk) {
             const std::lock_guard lock(heard->mutex);
             heard->output += chunk;
         },
         [heard](platform::foundation::ProcessExit) {
             const std::lock_guard lock(heard->mutex);
             heard->ended = true;
         }});
    ASSERT_TRUE(guard);
    const auto tableInPlace = [] {
        return corvantis::testing::runProgram(
                   {"/usr/sbin/nft", {"list", "table", "inet", corvantis::helper::GuardRules::tableName}, {}})
            .exit.succeeded();
    };
    const auto ended = [&] {
        const std::lock_guard lock(heard->mutex);
        return heard->ended;
    };
    corvantis::testing::eventually([&] { return ended() || tableInPlace(); });
    const bool inPlace = tableInPlace();
    const std::lock_guard lock(heard->mutex);
    EXPECT_TRUE(inPlace) << "the guard put its table in place; it said: " << heard->output;
    EXPECT_FALSE(heard->ended) << "the guard runs on";
    ASSERT_TRUE(launcher->signalProcessGroup(guard.value(), SIGTERM));
}

}  // namespace
