// The connect screen's IKEv2 start through the VPN manager, the real helper and its charon
// against the testbed's strongSwan responder: the tunnel comes up and a ping crosses it, the
// password shows on no command line and in no log, stopping takes the tunnel down (the
// manager's stop, and the helper's disconnect that the screen sends), and a wrong
// password leaves the manager disconnected with nothing printed (the attempt then ends by the
// screen's time-out). Runs inside scripts/sandbox as root; skipped with the reason otherwise.

#include "HelperService/CorvantisHelperController/HelperIKEv2Tunnel.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SystemClock.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/network/VPNManager.hpp"
#include "platform/security/KeychainStore.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "support/RecordingConsole.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/strongswan/StrongSwanTestbed.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

using corvantis::testbed::StrongSwanTestbed;
using platform::network::VPNStatus;
using namespace std::chrono_literals;

namespace {

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every command line of every process there is, and every file below `folder` (the helper's).
std::string everyCommandLineAndFile(const std::filesystem::path& folder) {
    std::string all;
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        all += fileText(process.path() / "cmdline") + "\n";
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file(error)) all += fileText(entry.path()) + "\n";
    }
    return all;
}

TEST(IKEv2EndToEndTest, TheScreensStartBringsTheTunnelUpAndAWrongPasswordDoesNot) {
    std::signal(SIGPIPE, SIG_IGN);
    if (auto reason = StrongSwanTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
    corvantis::testing::TemporaryFolder folder;
    auto testbed = StrongSwanTestbed::up(folder.path());
    ASSERT_TRUE(testbed) << testbed.error().message;
    const auto& account = testbed.value()->options();

    const auto socket = folder / "helper.sock";
    const auto helperConfiguration = folder / "helper.conf";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(helperConfiguration, "", 0600));
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "resolv.conf", "nameserver 127.0.0.1\n", 0644));
    const auto runtime = folder / "run";
    auto options = corvantis::testbed::HelperDaemon::privateFilesIn(folder.path());
    options.insert(options.end(),
                   {"--config", helperConfiguration.string(), "--bundle-resources", folder.path().string(), "--runtime-folder",
                    runtime.string(), "--ikev2-authorities", testbed.value()->caCertificate().string()});
    corvantis::testbed::HelperDaemon daemon(CORVANTIS_HELPER_PROGRAM, socket, options, testbed.value()->inClientNamespace());
    corvantis::testing::ScopedEnvironment helperSocket("CORVANTIS_HELPER_SOCKET", socket.string());

    const auto mainQueue = platform::dispatch::MainQueue::make();
    const auto console = std::make_shared<corvantis::testing::RecordingConsole>();
    platform::Services services;
    services.clockOverride = platform::dispatch::SystemClock::shared();
    services.mainQueueOverride = mainQueue;
    services.userDefaultsOverride = platform::foundation::UserDefaults::open(folder / "defaults.json");
    services.keychainOverride = platform::security::KeychainStore::open(folder / "keychain.json");
    services.consoleOverride = console;
    services.notificationCenterOverride = std::make_shared<platform::foundation::NotificationCenter>();
    platform::ScopedServices scope(services);

    platform::network::VPNManager::resetShared();
    const auto manager = platform::network::VPNManager::sharedManager();
    auto delegate = std::make_shared<corvantis::AppDelegate>();
    delegate->helper = std::make_shared<corvantis::CorvantisHelperController>();
    // The chosen server, as a sign-in leaves it.
    auto server = std::make_shared<corvantis::City>();
    server->domain = account.hostname;
    server->address = StrongSwanTestbed::serverAddress;
    server->shortName = "XX - Testbed";
    delegate->allCities = std::vector{server};
    corvantis::AppDelegate::setShared(delegate);
    corvantis::HelperService::setShared(delegate->helper);
    manager->setTunnelProvider(std::make_shared<corvantis::HelperIKEv2Tunnel>(delegate->helper));
    corvantis::UserSettings::setHostname(account.hostname);
    corvantis::UserSettings::setUsername(account.user);
    corvantis::UserSettings::setVpnPassword(account.password);

    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.setup(corvantis::registerMainStoryboard());
    const auto view = mainWindow.connectView;
    const auto pingInside = [&] {
        const auto ping = corvantis::testing::runProgram(
            {"/usr/bin/env",
             testbed.value()->inClientNamespace({"ping", "-c1", "-W1", StrongSwanTestbed::insideAddress}),
             {},
             nullptr});
        return ping.exit.succeeded();
    };
    ASSERT_FALSE(pingInside()) << "the inside address must be out of reach without the tunnel";

    const double started = wallSeconds();
    view->startIkev2Connection();
    ASSERT_TRUE(mainQueue->runUntil([&] { return manager->status() == VPNStatus::connected; }, corvantis::testing::patience(60s)))
        << "status " << static_cast<int>(manager->status()) << "\n"
        << testing::PrintToString(console->messages());
    std::printf("IKEv2 start -> connected: %.0f ms\n", (wallSeconds() - started) * 1000);
    EXPECT_TRUE(pingInside());
    ASSERT_FALSE(std::filesystem::is_empty(runtime)) << "the helper's charon keeps its files there";
    EXPECT_EQ(everyCommandLineAndFile(runtime).find(account.password), std::string::npos)
        << "the password is on a command line or in a file of the helper's";
    EXPECT_NE(fileText(folder / "resolv.conf").find("nameserver 127.0.0.1"), std::string::npos);

    const double stopping = wallSeconds();
    manager->stopVPNTunnel();
    EXPECT_EQ(manager->status(), VPNStatus::disconnected);
    ASSERT_TRUE(mainQueue->runUntil([&] { return !pingInside(); }, corvantis::testing::patience(60s)))
        << "stopping leaves the tunnel up";
    std::printf("stop -> tunnel down: %.0f ms\n", (wallSeconds() - stopping) * 1000);

    // The screen's disconnect ends every tunnel the helper runs, this one too.
    view->startIkev2Connection();
    ASSERT_TRUE(
        mainQueue->runUntil([&] { return manager->status() == VPNStatus::connected; }, corvantis::testing::patience(60s)));
    ASSERT_TRUE(pingInside());
    delegate->helper->terminateAllVpnConnections();
    ASSERT_TRUE(mainQueue->runUntil([&] { return !pingInside(); }, corvantis::testing::patience(60s)))
        << "the helper's disconnect leaves the tunnel up";

    // A wrong password: nothing printed, the manager disconnected, no tunnel.
    corvantis::UserSettings::setVpnPassword("not-the-password");
    const auto printedBefore = console->messages().size();
    const double wrong = wallSeconds();
    view->startIkev2Connection();
    ASSERT_TRUE(
        mainQueue->runUntil([&] { return manager->status() == VPNStatus::disconnected; }, corvantis::testing::patience(60s)));
    std::printf("wrong password -> disconnected: %.0f ms\n", (wallSeconds() - wrong) * 1000);
    const auto printed = console->messages();
    for (auto line = printed.begin() + static_cast<long>(printedBefore); line != printed.end(); ++line) {
        EXPECT_EQ(line->find("error: "), std::string::npos) << *line;
    }
    EXPECT_FALSE(pingInside());
    EXPECT_EQ(everyCommandLineAndFile(runtime).find("not-the-password"), std::string::npos);

    mainQueue->runUntil([] { return false; }, 200ms);
    platform::network::VPNManager::resetShared();
    corvantis::AppDelegate::setShared(nullptr);
    corvantis::HelperService::setShared(nullptr);
    corvantis::MainWindow::resetShared();
}

}  // namespace
