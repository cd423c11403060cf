// A hostile backend serves an OpenVPN configuration that hides a plugin after a block's closing
// tag. Signed in against the test backend, with the real helper program behind the socket, a click
// on the connect screen ends with "OpenVPN connection error", root runs nothing, and the helper's
// log holds nothing of the configuration. Sent to the helper straight, past the application, the
// same profile is refused there.

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/MainWindow.hpp"
#include "app/OpenVPNConnection.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/ui/Application.hpp"
#include "platform/xpc/XpcConnector.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using corvantis::ConnectionState;
namespace FileSystem = platform::foundation::FileSystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* server = "de-fra-01.corvantis.test";

class HostileBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the helper serves root and the users root configured; this test is not root";
        platform::ui::Application::shared().reset();
        ASSERT_TRUE(FileSystem::createDirectories(resources));
        for (const char* script : {"up.sh", "down.sh"}) {
            ASSERT_TRUE(FileSystem::writeFileAtomically(resources / script, "#!/bin/sh\n", 0755));
        }
        // An openvpn that only notes that root ran it.
        ASSERT_TRUE(FileSystem::writeFileAtomically(openvpn, "#!/bin/sh\ntouch " + ran.string() + "\n", 0755));
        ASSERT_TRUE(FileSystem::writeFileAtomically(environment.folder / "helper.conf", "", 0600));
        // The helper's log is its standard error, which it takes from this process as it starts.
        platform::foundation::FileDescriptor saved(::dup(STDERR_FILENO));
        platform::foundation::FileDescriptor file(::open(helperLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(saved.isOpen() && file.isOpen());
        ::dup2(file.get(), STDERR_FILENO);
        daemon = std::make_unique<corvantis::testbed::HelperDaemon>(
            CORVANTIS_HELPER_PROGRAM, socket,
            std::vector<std::string>{"--config", (environment.folder / "helper.conf").string(), "--bundle-resources",
                                     resources.string(), "--runtime-folder", (environment.folder / "run").string(), "--openvpn",
                                     openvpn.string()});
        ::dup2(saved.get(), STDERR_FILENO);

        auto services = platform::Services::current();
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(environment.folder.path(), resources);
        bundle = std::make_unique<platform::ScopedServices>(std::move(services));
        delegate->logger = prq::PRQLogger::make("connect", false);
        delegate->logger->add(log);
        delegate->helper = std::make_shared<corvantis::CorvantisHelperController>();
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(delegate->helper);
    }

    void TearDown() override { platform::ui::Application::shared().reset(); }

    // Everything the helper wrote to its log, once it has stopped.
    std::string stoppedHelpersLog() {
        daemon.reset();
        const auto text = FileSystem::readFile(helperLog);
        return text ? text.value() : "";
    }

    bool loggedError(const std::string& line) const {
        const auto lines = log->logged(prq::Level::error);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    corvantis::testing::AppTestEnvironment environment{nullptr, platform::xpc::UnixSocketXpcConnector::shared()};
    corvantis::testing::ScopedEnvironment temporary{"TMPDIR", environment.folder.path().string()};
    std::filesystem::path socket = environment.folder / "helper.sock";
    corvantis::testing::ScopedEnvironment socketSetting{"CORVANTIS_HELPER_SOCKET", socket.string()};
    std::filesystem::path resources = environment.folder / "Resources";
    std::filesystem::path openvpn = environment.folder / "openvpn-that-notes";
    std::filesystem::path ran = environment.folder / "openvpn-ran";
    std::filesystem::path helperLog = environment.folder / "helper.log";
    const std::string hidden = "plugin " + (environment.folder / "evil.so").string();
    // What the backend serves: the service's profile shape with the plugin right after </ca>.
    const std::string hostile =
        "client\r\ndev tun\r\nproto [proto]\r\nremote [hostname] [port]\r\n<ca>\r\n"
        "-----BEGIN CERTIFICATE-----\r\nMAMCAQU=\r\n-----END CERTIFICATE-----\r\n</ca>" +
        hidden + "\r\n";
    std::unique_ptr<corvantis::testbed::HelperDaemon> daemon;
    std::unique_ptr<platform::ScopedServices> bundle;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    std::shared_ptr<corvantis::testing::RecordingDestination> log = std::make_shared<corvantis::testing::RecordingDestination>();
};

TEST_F(HostileBackendTest, AConnectWithAConfigurationHidingAPluginEndsInAnErrorAndRootRunsNothing) {
    auto configuration = corvantis::testbed::BackendConfiguration::demo();
    configuration.tcpConfig = configuration.udpConfig = hostile;
    corvantis::testing::LoopbackBackend backend(configuration);
    bool signedIn = false;
    corvantis::ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                                          [&](bool success, bool, bool, bool, const std::string&) { signedIn = success; });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return signedIn; }));
    corvantis::UserSettings::setHostname(server);

    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.setup(corvantis::registerMainStoryboard());
    const auto view = mainWindow.connectView;
    mainWindow.switchToView(corvantis::View::connectView);
    environment.time.advance(2s);
    view->btnConnect->click();
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return loggedError("startConnection(): OpenVPN connection error"); }))
        << testing::PrintToString(log->logged()) << testing::PrintToString(environment.console->messages());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
    const auto requests = backend->requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(),
                            [](const auto& request) { return request.path == "/account/api2/servers/config"; }));
    EXPECT_FALSE(FileSystem::fileExists(*corvantis::OpenVPNConnection::configurationPath())) << "nothing was written";

    const auto helperText = stoppedHelpersLog();
    EXPECT_NE(helperText.find("Listening on"), std::string::npos) << helperText;
    EXPECT_EQ(helperText.find("Starting OpenVPN"), std::string::npos) << helperText;
    EXPECT_EQ(helperText.find("evil"), std::string::npos) << helperText;
    EXPECT_FALSE(FileSystem::fileExists(ran)) << "root ran openvpn";
}

TEST_F(HostileBackendTest, TheSameProfileSentToTheHelperStraightIsRefusedThere) {
    const auto path = corvantis::OpenVPNConnection::configurationPath();
    ASSERT_TRUE(path);
    std::string profile = hostile;
    for (const auto& [mark, value] : {std::pair{"[proto]", "udp"}, {"[hostname]", server}, {"[port]", "1194"}}) {
        profile.replace(profile.find(mark), std::string(mark).size(), value);
    }
    ASSERT_TRUE(FileSystem::writeFileAtomically(*path, profile + "\nup up.sh\ndown down.sh", 0600));
    std::vector<bool> replies;
    delegate->helper->runOpenVPN((resources / "openvpn").string(), path->string(), "demo", "vpn-demo-secret", resources.string(),
                                 [&](bool connected) { replies.push_back(connected); });
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return !replies.empty(); }));
    EXPECT_EQ(replies, std::vector<bool>{false});

    const auto helperText = stoppedHelpersLog();
    EXPECT_NE(helperText.find("OpenVPN not started: The profile's line 9 begins with \"<\" inside the <ca> block"),
              std::string::npos)
        << helperText;
    EXPECT_EQ(helperText.find("evil"), std::string::npos) << helperText;
    EXPECT_FALSE(FileSystem::fileExists(ran)) << "root ran openvpn";
}

}  // namespace
