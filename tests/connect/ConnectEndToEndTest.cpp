// A click on the real connect screen brings a real tunnel up through the real helper and openvpn,
// the public-address check sees the VPN server's address and the screen shows connected; when the
// server dies the checks fail and the screen goes back to disconnected. The address check may
// also come before the helper's report (the kill switch then engages all the same), and a server
// that drops every packet ends in the time-out. Runs inside scripts/sandbox as root; skipped with
// the reason otherwise.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/ConnectScreenLooks.hpp"
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
#include "platform/ui/Alert.hpp"
#include "platform/xpc/XpcConnector.hpp"
#include "support/LoopbackRelay.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "support/RecordingConsole.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

using corvantis::ConnectionState;
using corvantis::ConnectView;
using corvantis::testbed::OpenVpnTestbed;
using namespace std::chrono_literals;

namespace {

constexpr const char* echoAddress = "192.0.2.1";
constexpr const char* clientAddress = "198.51.100.2";
// The name server of the client's resolver configuration.
constexpr const char* nameServer = "192.0.2.53";
constexpr const char* nft = "/usr/sbin/nft";

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The real connector to the real helper, noting the command lines the application sends; when
// told to, it holds the helper's answer to the OpenVPN start back for a while, so that the
// address check comes first.
class ObservedConnector final : public platform::xpc::XpcConnector {
public:
    explicit ObservedConnector(std::shared_ptr<platform::xpc::XpcConnector> real) : real_(std::move(real)) {}
    ~ObservedConnector() override {
        for (auto& held : held_) held.join();
    }

    platform::foundation::Expected<void> send(std::string_view serviceName, const nlohmann::json& message) override {
        note(message);
        return real_->send(serviceName, message);
    }

    platform::foundation::Expected<void> sendWithReply(std::string_view serviceName, const nlohmann::json& message,
                                                       FirstReplyHandler handler) override {
        const auto call = note(message);
        if (!call || call->selector != corvantis::helper::HelperSelector::runOpenVPN || openVpnReplyDelay == 0ms) {
            return real_->sendWithReply(serviceName, message, std::move(handler));
        }
        return real_->sendWithReply(serviceName, message, [this, handler](std::optional<nlohmann::json> reply) {
            std::lock_guard lock(mutex_);
            held_.emplace_back([this, handler, reply = std::move(reply)] {
                std::this_thread::sleep_for(openVpnReplyDelay);
                openVpnReplyPassedOn = wallSeconds();
                handler(reply);
            });
        });
    }

    std::vector<std::string> commands() const {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    bool sent(const std::string& command) const {
        const auto all = commands();
        return std::find(all.begin(), all.end(), command) != all.end();
    }

    std::chrono::milliseconds openVpnReplyDelay{0};
    // When the held answer went on to the application; 0 until then.
    std::atomic<double> openVpnReplyPassedOn{0};

private:
    std::optional<corvantis::helper::HelperCall> note(const nlohmann::json& message) {
        auto call = corvantis::helper::HelperWireCodec::decodeCall(message);
        if (!call) return std::nullopt;
        if (call.value().selector == corvantis::helper::HelperSelector::runCommand) {
            std::lock_guard lock(mutex_);
            commands_.push_back(call.value().text(0));
        }
        return std::move(call.value());
    }

    const std::shared_ptr<platform::xpc::XpcConnector> real_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::vector<std::thread> held_;
};

// The testbed's three namespaces, the real helper in the client's, and the application's connect
// screen on the test's thread, which lives in the client's network while the test runs.
class ConnectEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "run it through scripts/sandbox, as root";
        if (auto reason = OpenVpnTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        auto made = OpenVpnTestbed::up(folder.path());
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        const auto internet = corvantis::testing::runProgram(
            {CORVANTIS_INTERNET_TESTBED_SCRIPT, {"up", folder.path().string(), CORVANTIS_TESTBED_PROGRAM}, {}, nullptr});
        internetUp = true;
        ASSERT_EQ(internet.exit.exitStatus, 0) << internet.standardError;

        // From here on this thread, and every thread, socket and child it makes, lives in the
        // client's network.
        ownNetwork = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int clientNetwork = ::open("/run/netns/corvantis-vpn-client", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(clientNetwork, 0);
        ASSERT_EQ(::setns(clientNetwork, CLONE_NEWNET), 0);
        ::close(clientNetwork);

        // openvpn runs through a wrapper that notes when it starts and stamps its lines.
        const auto wrapper = folder / "timed-openvpn";
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(
            wrapper,
            "#!/bin/sh\ndate +%s.%N > " + openvpnStarted.string() + "\nexec /usr/sbin/openvpn --machine-readable-output \"$@\"\n",
            0755));
        // The kill switch's guard files in the bundle, and a systemctl that only notes its calls.
        for (const char* name : {"com.corvantis.CorvantisGuard.plist", "corvantis_guard.sh"}) {
            ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(testbed->bundle() / name, "", 0644));
        }
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(
            folder / "systemctl", "#!/bin/sh\necho \"$@\" >> " + (folder / "systemctl-calls").string() + "\n", 0755));
        const auto helperConfiguration = folder / "helper.conf";
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(helperConfiguration, "", 0600));
        // The client's resolver configuration is the test's own, never this machine's.
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "resolv.conf",
                                                                          std::string("nameserver ") + nameServer + "\n", 0644));
        auto options = corvantis::testbed::HelperDaemon::privateFilesIn(folder.path());
        options.insert(options.end(), {"--config", helperConfiguration.string(), "--bundle-resources", testbed->bundle().string(),
                                       "--openvpn", wrapper.string(), "--systemctl", (folder / "systemctl").string(),
                                       "--guard-preferences", guardKeys.string(), "--guard-script", guardScript.string()});
        daemon = std::make_unique<corvantis::testbed::HelperDaemon>(CORVANTIS_HELPER_PROGRAM, socket, options,
                                                                    testbed->inClientNamespace());

        relay = std::make_unique<corvantis::testing::LoopbackRelay>(echoAddress, 80);
        const auto relayUrl = "http://127.0.0.1:" + std::to_string(relay->port()) + "/";
        settings.push_back(std::make_unique<corvantis::testing::ScopedEnvironment>("CORVANTIS_HELPER_SOCKET", socket.string()));
        settings.push_back(
            std::make_unique<corvantis::testing::ScopedEnvironment>("CORVANTIS_IPIFY_URL", relayUrl + "ipify?format=json"));
        settings.push_back(
            std::make_unique<corvantis::testing::ScopedEnvironment>("CORVANTIS_IPAPI_URL", relayUrl + "ipwho.is/"));
        settings.push_back(std::make_unique<corvantis::testing::ScopedEnvironment>("TMPDIR", folder.path().string()));

        platform::Services services;
        services.clockOverride = platform::dispatch::SystemClock::shared();
        services.mainQueueOverride = mainQueue;
        services.userDefaultsOverride = platform::foundation::UserDefaults::open(folder / "defaults.json");
        services.keychainOverride = platform::security::KeychainStore::open(folder / "keychain.json");
        services.urlSessionOverride = platform::foundation::CurlURLSession::make();
        services.consoleOverride = console;
        services.notificationCenterOverride = std::make_shared<platform::foundation::NotificationCenter>();
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(folder.path(), testbed->bundle());
        services.xpcConnectorOverride = connector;
        scope = std::make_unique<platform::ScopedServices>(services);

        // The account, the chosen server and the backend's profile, as a sign-in leaves them.
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
        corvantis::UserSettings::setUsername(testbed->options().user);
        corvantis::UserSettings::setVpnPassword(testbed->options().password);
        const auto profile = platform::foundation::FileSystem::readFile(testbed->profileTemplate());
        ASSERT_TRUE(profile);
        corvantis::ApiService::savedTcpConfig = platform::foundation::Base64::encode(profile.value());
        corvantis::ApiService::savedUdpConfig = corvantis::ApiService::savedTcpConfig;

        auto& mainWindow = corvantis::MainWindow::shared();
        mainWindow.setup(corvantis::registerMainStoryboard());
        mainWindow.loginView->setAlphaValue(0);
        view = mainWindow.connectView;
        mainWindow.switchToView(corvantis::View::connectView);
        ASSERT_TRUE(services.userDefaultsOverride->removeObject("disconnectedTime"));
    }

    void TearDown() override {
        if (view) mainQueue->runUntil([] { return false; }, 500ms);
        platform::ui::Alert::forgetPendingAlerts();
        corvantis::AppDelegate::setShared(nullptr);
        corvantis::HelperService::setShared(nullptr);
        corvantis::MainWindow::resetShared();
        view.reset();
        scope.reset();
        settings.clear();
        relay.reset();
        stopGuard();
        daemon.reset();
        if (ownNetwork >= 0) {
            ::setns(ownNetwork, CLONE_NEWNET);
            ::close(ownNetwork);
        }
        if (internetUp) {
            corvantis::testing::runProgram({CORVANTIS_INTERNET_TESTBED_SCRIPT, {"down", folder.path().string()}, {}, nullptr});
        }
        testbed.reset();
    }

    std::string statusIcon() const { return corvantis::testing::statusIconName(); }
    bool loggedAddress(const std::string& address) const {
        const auto lines = log->logged();
        return std::find(lines.begin(), lines.end(), "connectionChanged(ip:): " + address) != lines.end();
    }
    std::string clientRoutes() const { return testbed->clientRoutes(); }
    std::shared_ptr<platform::ui::Alert> shownAlert() const {
        const auto alerts = platform::ui::Alert::pendingAlerts();
        return alerts.size() == 1 && alerts.front()->isShown() ? alerts.front() : nullptr;
    }
    void expectConnectedLook() const {
        EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
        EXPECT_EQ(statusIcon(), "StatusBarIconActive");
        EXPECT_FALSE(view->lblDuration->isHidden());
        EXPECT_TRUE(mainQueue->runUntil([&] { return view->lblDuration->stringValue() != "00:00:00"; },
                                        corvantis::testing::patience(60s)))
            << "the duration runs";
    }
    void expectDisconnectedLook() const { corvantis::testing::expectDisconnectedLook(*view); }

    // The guard as its unit would run it: the script the helper wrote, here in the client's network.
    void startGuard() {
        guard = ::fork();
        if (guard == 0) {
            ::execl(guardScript.c_str(), guardScript.c_str(), nullptr);
            ::_exit(127);
        }
    }
    void stopGuard() {
        if (guard <= 0) return;
        ::kill(guard, SIGTERM);
        ::waitpid(guard, nullptr, 0);
        guard = -1;
    }
    std::string guardTable() const {
        return corvantis::testing::runProgram({nft, {"list", "table", "inet", "corvantis_guard"}, {}, nullptr}).standardOutput;
    }

    corvantis::testing::TemporaryFolder folder;
    std::filesystem::path socket = folder / "helper.sock";
    std::filesystem::path openvpnStarted = folder / "openvpn-started";
    std::filesystem::path guardKeys = folder / "guard" / "gateway.conf";
    std::filesystem::path guardScript = folder / "guard" / "corvantis_guard.sh";
    std::unique_ptr<OpenVpnTestbed> testbed;
    bool internetUp = false;
    int ownNetwork = -1;
    std::unique_ptr<corvantis::testbed::HelperDaemon> daemon;
    pid_t guard = -1;
    std::unique_ptr<corvantis::testing::LoopbackRelay> relay;
    std::vector<std::unique_ptr<corvantis::testing::ScopedEnvironment>> settings;
    std::shared_ptr<platform::dispatch::MainQueue> mainQueue = platform::dispatch::MainQueue::make();
    std::shared_ptr<corvantis::testing::RecordingConsole> console = std::make_shared<corvantis::testing::RecordingConsole>();
    std::shared_ptr<ObservedConnector> connector =
        std::make_shared<ObservedConnector>(platform::xpc::UnixSocketXpcConnector::shared());
    std::unique_ptr<platform::ScopedServices> scope;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    std::shared_ptr<corvantis::testing::RecordingDestination> log = std::make_shared<corvantis::testing::RecordingDestination>();
    std::shared_ptr<ConnectView> view;
};

TEST_F(ConnectEndToEnd, AClickConnectsThroughTheTunnelAndADeadServerDisconnects) {
    // Without the tunnel the echo sees the client's own address, which confirms nothing.
    view->checkConnectionState();
    ASSERT_TRUE(mainQueue->runUntil([&] { return loggedAddress(clientAddress); }, corvantis::testing::patience(60s)))
        << testing::PrintToString(log->logged());
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
        corvantis::testing::patience(60s)))
        << testing::PrintToString(log->logged()) << testing::PrintToString(console->messages());
    const double connected = wallSeconds();
    if (drawn == 0) drawn = connected;
    EXPECT_TRUE(loggedAddress(OpenVpnTestbed::serverAddress));
    expectConnectedLook();

    // Where the time went.
    double initialized = 0;
    for (const auto& message : console->messages()) {
        const auto at = message.find("Initialization Sequence Completed");
        if (at == std::string::npos) continue;
        const auto start = message.rfind('\n', at);
        initialized = std::strtod(message.c_str() + (start == std::string::npos ? 0 : start + 1), nullptr);
    }
    const double started = std::strtod(platform::foundation::FileSystem::readFile(openvpnStarted).value().c_str(), nullptr);
    std::printf("click -> connected: %.0f ms\n", (connected - clicked) * 1000);
    std::printf("  click -> openvpn started: %.0f ms\n", (started - clicked) * 1000);
    if (initialized > 0) {
        std::printf("  openvpn started -> Initialization Sequence Completed: %.0f ms\n", (initialized - started) * 1000);
        std::printf("  Initialization Sequence Completed -> connected look drawn: %.0f ms\n", (drawn - initialized) * 1000);
        std::printf("  Initialization Sequence Completed -> state connected: %.0f ms\n", (connected - initialized) * 1000);
    }
    std::printf("  connected look drawn -> state connected: %.0f ms\n", (connected - drawn) * 1000);

    // The server dies: the checks fail and the screen disconnects.
    log->clear();
    testbed->killServer();
    const double killed = wallSeconds();
    ASSERT_TRUE(mainQueue->runUntil([&] { return view->connectionState == ConnectionState::disconnected; },
                                    corvantis::testing::patience(90s)))
        << testing::PrintToString(log->logged());
    std::printf("server killed -> disconnected: %.0f ms\n", (wallSeconds() - killed) * 1000);
    for (const auto& line : log->logged()) std::printf("  %s\n", line.c_str());
    expectDisconnectedLook();
}

TEST_F(ConnectEndToEnd, AnAddressCheckBeforeTheHelpersReplyStillDrawsTheWholeConnectedDisplay) {
    if (::access(nft, X_OK) != 0) GTEST_SKIP() << "nft is not installed (scripts/setup installs it)";
    corvantis::UserSettings::setIsKillSwitchEnabled(true);
    delegate->gateway = OpenVpnTestbed::serverAddress;  // the client's way out
    connector->openVpnReplyDelay = 5s;

    const double clicked = wallSeconds();
    view->btnConnect->click();
    ASSERT_TRUE(mainQueue->runUntil([&] { return view->connectionState == ConnectionState::connected; },
                                    corvantis::testing::patience(60s)))
        << testing::PrintToString(log->logged()) << testing::PrintToString(console->messages());
    const double connected = wallSeconds();
    ASSERT_EQ(connector->openVpnReplyPassedOn.load(), 0) << "the helper's reply came first after all";
    expectConnectedLook();

    // The helper's late reply names the tunnel's gateway: the tunnel's route follows, once.
    const std::string tunnelRoute = std::string("route -n add -net 0/1 ") + OpenVpnTestbed::tunnelGateway;
    ASSERT_TRUE(mainQueue->runUntil([&] { return connector->sent(tunnelRoute); }, corvantis::testing::patience(60s)))
        << testing::PrintToString(connector->commands());
    const double replied = connector->openVpnReplyPassedOn.load();
    const auto commands = connector->commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), tunnelRoute), 1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "dscacheutil -flushcache; sudo killall -HUP mDNSResponder"), 1);
    const auto routes = clientRoutes();
    EXPECT_NE(routes.find(std::string("0.0.0.0/1 via ") + OpenVpnTestbed::tunnelGateway), std::string::npos) << routes;
    EXPECT_EQ(routes.find("default"), std::string::npos) << "the kill switch took the default route away\n" << routes;

    // The guard is engaged with the client's gateway, and its unit's script keeps traffic in.
    const auto keys = platform::foundation::FileSystem::readFile(guardKeys);
    ASSERT_TRUE(keys) << keys.error().message;
    EXPECT_NE(keys.value().find("engaged=1"), std::string::npos) << keys.value();
    // The guard lets out the server of the profile the helper rendered, for its transport and port.
    const auto endpoints = platform::foundation::FileSystem::readFile(folder / "guard" / "endpoints");
    EXPECT_EQ(endpoints ? endpoints.value() : std::string(),
              std::string("endpoint=") + OpenVpnTestbed::serverAddress + " udp 1194\n");
    // The name server routed is the one of the client's resolver configuration.
    const std::string nameServerRoute = std::string(nameServer) + " via " + OpenVpnTestbed::serverAddress;
    EXPECT_TRUE(mainQueue->runUntil([&] { return clientRoutes().find(nameServerRoute) != std::string::npos; },
                                    corvantis::testing::patience(60s)))
        << clientRoutes();
    startGuard();
    EXPECT_TRUE(mainQueue->runUntil([&] { return guardTable().find("policy drop;") != std::string::npos; },
                                    corvantis::testing::patience(60s)))
        << guardTable();
    // Names go through the tunnel, to the name server its server pushed.
    EXPECT_NE(guardTable().find(std::string("ip daddr ") + OpenVpnTestbed::tunnelNameServer +
                                " meta l4proto { tcp, udp } th dport 53 accept"),
              std::string::npos)
        << guardTable();
    log->clear();
    view->checkConnectionState();
    EXPECT_TRUE(
        mainQueue->runUntil([&] { return loggedAddress(OpenVpnTestbed::serverAddress); }, corvantis::testing::patience(60s)))
        << "the tunnel still carries the lookups: " << testing::PrintToString(log->logged());
    EXPECT_EQ(view->connectionState, ConnectionState::connected);

    std::printf("reply held back 5 s: click -> connected by the address check, drawn: %.0f ms\n", (connected - clicked) * 1000);
    std::printf("  click -> helper's reply passed on: %.0f ms\n", (replied - clicked) * 1000);

    // Disconnecting puts the default route back.
    view->btnConnect->click();
    ASSERT_TRUE(mainQueue->runUntil([&] { return clientRoutes().find("default") != std::string::npos; },
                                    corvantis::testing::patience(60s)))
        << clientRoutes();
    expectDisconnectedLook();
}

TEST_F(ConnectEndToEnd, AServerThatDropsEveryPacketEndsInTheTimeOut) {
    if (::access(nft, X_OK) != 0) GTEST_SKIP() << "nft is not installed (scripts/setup installs it)";
    // The server's openvpn never hears from the client; the client's own traffic still passes.
    const auto rules = folder / "drop.nft";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(
        rules,
        "table inet corvantis_drop {\n  chain input {\n    type filter hook input priority -10; policy accept;\n"
        "    udp dport 1194 drop\n    tcp dport 443 drop\n  }\n}\n",
        0600));
    const auto dropped = corvantis::testing::runProgram(
        {"/sbin/ip", {"netns", "exec", "corvantis-vpn-server", nft, "-f", rules.string()}, {}, nullptr});
    ASSERT_EQ(dropped.exit.exitStatus, 0) << dropped.standardError;

    const double clicked = wallSeconds();
    view->btnConnect->click();
    // Every check sees the client's own address: 40 checks of about 2 s each.
    const auto budget = std::chrono::seconds(2 * ConnectView::maximumChecks + 15);
    ASSERT_TRUE(mainQueue->runUntil([&] { return shownAlert() != nullptr; }, budget)) << testing::PrintToString(log->logged());
    const double timedOut = wallSeconds();
    EXPECT_EQ(shownAlert()->informativeText(), "Connection timeout. Please, try again or contact Corvantis support");
    EXPECT_EQ(shownAlert()->messageText(), "Corvantis");
    const auto lines = log->logged();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "timedOut(): Timeout: 40/40"), lines.end());
    expectDisconnectedLook();
    std::printf("server dropping every packet: click -> time-out alert: %.0f ms\n", (timedOut - clicked) * 1000);
}

}  // namespace
