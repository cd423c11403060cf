// A click on the real connect screen brings a real tunnel up through the real helper and openvpn,
// the public-address check sees the VPN server's address and the screen shows connected; when the
// server dies the checks fail and the screen goes back to disconnected. Runs inside
// scripts/sandbox as root; skipped with the reason otherwise.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SystemClock.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "support/LoopbackRelay.hpp"
#include "support/ProgramRun.hpp"
#include "support/RecordingConsole.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <thread>

using corvantis::ConnectionState;
using corvantis::testbed::OpenVpnTestbed;
using namespace std::chrono_literals;

namespace {

constexpr const char* echoAddress = "192.0.2.1";
constexpr const char* clientAddress = "198.51.100.2";

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(ConnectEndToEndTest, AClickConnectsThroughTheTunnelAndADeadServerDisconnects) {
    std::signal(SIGPIPE, SIG_IGN);
    if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "run it through scripts/sandbox, as root";
    if (auto reason = OpenVpnTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
    corvantis::testing::TemporaryFolder folder;
    auto testbed = OpenVpnTestbed::up(folder.path());
    ASSERT_TRUE(testbed) << testbed.error().message;
    const auto internet = corvantis::testing::runProgram(
        {CORVANTIS_INTERNET_TESTBED_SCRIPT, {"up", folder.path().string(), CORVANTIS_TESTBED_PROGRAM}, {}, nullptr});
    struct InternetDown {
        std::filesystem::path folder;
        ~InternetDown() {
            corvantis::testing::runProgram({CORVANTIS_INTERNET_TESTBED_SCRIPT, {"down", folder.string()}, {}, nullptr});
        }
    } internetDown{folder.path()};
    ASSERT_EQ(internet.exit.exitStatus, 0) << internet.standardError;

    // From here on this thread, and every thread and socket it makes, lives in the client's network.
    const int clientNetwork = ::open("/run/netns/corvantis-vpn-client", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(clientNetwork, 0);
    ASSERT_EQ(::setns(clientNetwork, CLONE_NEWNET), 0);
    ::close(clientNetwork);

    // openvpn runs through a wrapper that notes when it starts and stamps its lines.
    const auto started = folder / "openvpn-started";
    const auto wrapper = folder / "timed-openvpn";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(
        wrapper, "#!/bin/sh\ndate +%s.%N > " + started.string() + "\nexec /usr/sbin/openvpn --machine-readable-output \"$@\"\n",
        0755));
    const auto socket = folder / "helper.sock";
    const auto helperConfiguration = folder / "helper.conf";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(helperConfiguration, "", 0600));
    corvantis::testbed::HelperDaemon daemon(
        CORVANTIS_HELPER_PROGRAM, socket,
        {"--config", helperConfiguration.string(), "--bundle-resources", testbed.value()->bundle().string(), "--runtime-folder",
         (folder / "run").string(), "--openvpn", wrapper.string()},
        testbed.value()->inClientNamespace());

    corvantis::testing::LoopbackRelay relay(echoAddress, 80);
    const auto relayUrl = "http://127.0.0.1:" + std::to_string(relay.port()) + "/";
    corvantis::testing::ScopedEnvironment helperSocket("CORVANTIS_HELPER_SOCKET", socket.string());
    corvantis::testing::ScopedEnvironment ipify("CORVANTIS_IPIFY_URL", relayUrl + "ipify?format=json");
    corvantis::testing::ScopedEnvironment ipapi("CORVANTIS_IPAPI_URL", relayUrl + "ip-api/json/");
    corvantis::testing::ScopedEnvironment temporary("TMPDIR", folder.path().string());

    const auto mainQueue = platform::dispatch::MainQueue::make();
    const auto console = std::make_shared<corvantis::testing::RecordingConsole>();
    platform::Services services;
    services.clockOverride = platform::dispatch::SystemClock::shared();
    services.mainQueueOverride = mainQueue;
    services.userDefaultsOverride = platform::foundation::UserDefaults::open(folder / "defaults.json");
    services.keychainOverride = platform::security::KeychainStore::open(folder / "keychain.json");
    services.urlSessionOverride = platform::foundation::CurlURLSession::make();
    services.consoleOverride = console;
    services.notificationCenterOverride = std::make_shared<platform::foundation::NotificationCenter>();
    services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(folder.path(), testbed.value()->bundle());
    platform::ScopedServices scope(services);

    // The account, the chosen server and the backend's profile, as a sign-in leaves them.
    auto delegate = std::make_shared<corvantis::AppDelegate>();
    auto log = std::make_shared<corvantis::testing::RecordingDestination>();
    delegate->logger = prq::PRQLogger::make("connect", false);
    delegate->logger->add(log);
    auto server = std::make_shared<corvantis::City>();
    server->domain = OpenVpnTestbed::serverAddress;
    server->address = OpenVpnTestbed::serverAddress;
    server->shortName = "XX - Testbed";
    delegate->allCities = std::vector{server};
    delegate->helper = std::make_shared<corvantis::CorvantisHelperController>();
    corvantis::AppDelegate::setShared(delegate);
    corvantis::HelperService::setShared(delegate->helper);
    corvantis::UserSettings::setHostname(OpenVpnTestbed::serverAddress);
    corvantis::UserSettings::setUsername(testbed.value()->options().user);
    corvantis::UserSettings::setVpnPassword(testbed.value()->options().password);
    const auto profile = platform::foundation::FileSystem::readFile(testbed.value()->profileTemplate());
    ASSERT_TRUE(profile);
    corvantis::ApiService::savedTcpConfig = platform::foundation::Base64::encode(profile.value());
    corvantis::ApiService::savedUdpConfig = corvantis::ApiService::savedTcpConfig;

    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.setup(corvantis::registerMainStoryboard());
    mainWindow.loginView->setAlphaValue(0);
    const auto view = mainWindow.connectView;
    mainWindow.switchToView(corvantis::View::connectView);
    const auto statusIcon = [&] {
        const auto image = mainWindow.popupController->statusItem()->image();
        return image ? image->name() : "(none)";
    };
    ASSERT_TRUE(services.userDefaultsOverride->removeObject("disconnectedTime"));

    const auto loggedAddress = [&](const std::string& address) {
        const auto lines = log->logged();
        return std::find(lines.begin(), lines.end(), "connectionChanged(ip:): " + address) != lines.end();
    };

    // Without the tunnel the echo sees the client's own address, which confirms nothing.
    view->checkConnectionState();
    ASSERT_TRUE(mainQueue->runUntil([&] { return loggedAddress(clientAddress); }, 20s)) << testing::PrintToString(log->logged());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);

    const double clicked = wallSeconds();
    view->btnConnect->click();
    EXPECT_EQ(view->connectionState, ConnectionState::connecting);
    double drawn = 0;
    ASSERT_TRUE(mainQueue->runUntil(
        [&] {
            if (drawn == 0 && !view->lblDuration->isHidden()) drawn = wallSeconds();
            return view->connectionState == ConnectionState::connected;
        },
        60s))
        << testing::PrintToString(log->logged()) << testing::PrintToString(console->messages());
    const double connected = wallSeconds();
    if (drawn == 0) drawn = connected;
    EXPECT_TRUE(loggedAddress(OpenVpnTestbed::serverAddress));
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
    EXPECT_EQ(statusIcon(), "StatusBarIconActive");
    EXPECT_TRUE(mainQueue->runUntil([&] { return view->lblDuration->stringValue() != "00:00:00"; }, 10s)) << "the duration runs";

    // Where the time went.
    double initialized = 0;
    for (const auto& message : console->messages()) {
        const auto at = message.find("Initialization Sequence Completed");
        if (at == std::string::npos) continue;
        const auto start = message.rfind('\n', at);
        initialized = std::strtod(message.c_str() + (start == std::string::npos ? 0 : start + 1), nullptr);
    }
    const double openvpnStarted = std::strtod(platform::foundation::FileSystem::readFile(started).value().c_str(), nullptr);
    std::printf("click -> connected: %.0f ms\n", (connected - clicked) * 1000);
    std::printf("  click -> openvpn started: %.0f ms\n", (openvpnStarted - clicked) * 1000);
    if (initialized > 0) {
        std::printf("  openvpn started -> Initialization Sequence Completed: %.0f ms\n", (initialized - openvpnStarted) * 1000);
        std::printf("  Initialization Sequence Completed -> connected look drawn: %.0f ms\n", (drawn - initialized) * 1000);
        std::printf("  Initialization Sequence Completed -> state connected: %.0f ms\n", (connected - initialized) * 1000);
    }
    std::printf("  connected look drawn -> state connected: %.0f ms\n", (connected - drawn) * 1000);

    // The server dies: the checks fail and the screen disconnects.
    log->clear();
    testbed.value()->killServer();
    const double killed = wallSeconds();
    ASSERT_TRUE(mainQueue->runUntil([&] { return view->connectionState == ConnectionState::disconnected; }, 90s))
        << testing::PrintToString(log->logged());
    std::printf("server killed -> disconnected: %.0f ms\n", (wallSeconds() - killed) * 1000);
    for (const auto& line : log->logged()) std::printf("  %s\n", line.c_str());
    EXPECT_TRUE(view->lblDuration->isHidden());
    EXPECT_EQ(statusIcon(), "StatusBarIconInactive");
    mainQueue->runUntil([] { return false; }, 500ms);
    corvantis::AppDelegate::setShared(nullptr);
    corvantis::HelperService::setShared(nullptr);
    corvantis::MainWindow::resetShared();
}

}  // namespace
