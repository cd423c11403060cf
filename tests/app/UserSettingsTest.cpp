#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "app/AppDelegate.hpp"
#include "app/Keychain.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <tuple>

using corvantis::AppDelegate;
using corvantis::City;
using corvantis::ConnectionState;
using corvantis::ConnectView;
using corvantis::HelperService;
using corvantis::MainWindow;
using corvantis::OpenVPNPort;
using corvantis::Protocol;
using corvantis::UserSettings;
using corvantis::testing::RecordingDestination;

namespace {

std::shared_ptr<City> city(std::string domain, std::optional<std::string> shortName) {
    auto made = std::make_shared<City>();
    made->domain = std::move(domain);
    made->shortName = std::move(shortName);
    return made;
}

class UserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        delegate->logger = prq::PRQLogger::make("settings", false);
        delegate->logger->add(log);
        AppDelegate::setShared(delegate);
        HelperService::setShared(helper);
        MainWindow::shared().connectView = connectView;
    }

    void setCities(std::vector<std::shared_ptr<City>> cities) { delegate->allCities = std::move(cities); }

    // The route operations the delegate ran, by the breadcrumbs they leave.
    std::vector<std::string> routeOperations() const {
        std::vector<std::string> operations;
        const auto scope = environment.reportScope();
        for (const auto& crumb : scope.breadcrumbs()) operations.push_back(crumb.category);
        return operations;
    }

    // Gives the first reply to the helper call `index`.
    void answer(std::size_t index, const std::optional<std::string>& text) {
        environment.helper->answer(index, corvantis::helper::HelperWireCodec::encodeTextReply(text));
        environment.runMainQueue();
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<corvantis::CorvantisHelperController> helper = std::make_shared<corvantis::CorvantisHelperController>();
    std::shared_ptr<ConnectView> connectView = std::make_shared<ConnectView>();
    std::shared_ptr<RecordingDestination> log = std::make_shared<RecordingDestination>();
};

TEST_F(UserSettingsTest, FourSettersLogTheirNewValueUnderTheSettingsName) {
    UserSettings::setSavedProtocol(Protocol::IKEv2);
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::TCP);
    UserSettings::setHostname("fr-par.test");
    UserSettings::setHostname(std::nullopt);
    UserSettings::setIsKillSwitchEnabled(true);
    UserSettings::setIsKillSwitchEnabled(false);
    EXPECT_EQ(log->logged(), (std::vector<std::string>{"savedProtocol: 0", "savedOpenVPNPort: TCP", "hostname: fr-par.test",
                                                       "isKillSwitchEnabled: true", "isKillSwitchEnabled: false",
                                                       "restoreDefaultRoute(): restoreDefaultRoute"}));
}

TEST_F(UserSettingsTest, NoOtherSetterLogsAndThePasswordNeverAppears) {
    UserSettings::setUsername("someone@x.test");
    UserSettings::setPassword("hunter2-secret");
    UserSettings::setVpnPassword("vpn-hunter2");
    UserSettings::setIsCorvantisShieldEnabled(true);
    UserSettings::setSavedCredentials(true);
    UserSettings::setEmail("someone@x.test");
    UserSettings::setPlan("Yearly");
    UserSettings::setLaunchOnLogin(true);
    answer(0, std::string());
    EXPECT_TRUE(log->lines().empty());
}

TEST_F(UserSettingsTest, AFailedWriteIsLoggedWithoutTheValue) {
    // A plain file where the settings folder should be: nobody, root included, can write there.
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(environment.folder / "blocked", "x", 0600));
    platform::Services blocked;
    blocked.userDefaultsOverride = platform::foundation::UserDefaults::open(environment.folder / "blocked" / "defaults.json");
    blocked.keychainOverride = platform::security::KeychainStore::open(environment.folder / "blocked" / "keychain.json");
    platform::ScopedServices scope(blocked);
    UserSettings::setUsername("someone@x.test");
    UserSettings::setPassword("hunter2-secret");
    const auto errors = log->logged(prq::Level::error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("\"username\" could not be saved"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("\"password\" could not be saved"), std::string::npos) << errors[1];
    EXPECT_EQ(errors[1].find("hunter2"), std::string::npos);
}

TEST_F(UserSettingsTest, AFreshInstallationReadsItsDefaults) {
    EXPECT_EQ(UserSettings::savedProtocol(), Protocol::OpenVPN);
    EXPECT_EQ(UserSettings::savedOpenVPNPort(), OpenVPNPort::UDP);
    EXPECT_EQ(UserSettings::hostname(), "");
    EXPECT_EQ(UserSettings::serverName(), std::nullopt);
    EXPECT_EQ(UserSettings::username(), "");
    EXPECT_EQ(UserSettings::password(), "");
    EXPECT_FALSE(UserSettings::isKillSwitchEnabled());
    EXPECT_FALSE(UserSettings::isCorvantisShieldEnabled());
    EXPECT_FALSE(UserSettings::savedCredentials());
    EXPECT_EQ(UserSettings::launchOnLogin(), false);
    EXPECT_FALSE(UserSettings::email());
    EXPECT_FALSE(UserSettings::plan());
    EXPECT_FALSE(UserSettings::vpnPassword());
}

TEST_F(UserSettingsTest, TheProtocolIsStoredAsItsRawValueButReadsBackAsOpenVpn) {
    for (const auto& [protocol, raw] : {std::pair{Protocol::IKEv2, 0}, {Protocol::L2TP, 2}, {Protocol::OpenVPN, 1}}) {
        UserSettings::setSavedProtocol(protocol);
        EXPECT_EQ(environment.defaults->object("protocol"), nlohmann::json(raw));
        EXPECT_EQ(UserSettings::savedProtocol(), Protocol::OpenVPN);
    }
}

TEST_F(UserSettingsTest, ThePortIsStoredAsTrueForTcp) {
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::TCP);
    EXPECT_EQ(environment.defaults->object("openVpnPort"), nlohmann::json(true));
    EXPECT_EQ(UserSettings::savedOpenVPNPort(), OpenVPNPort::TCP);
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::UDP);
    EXPECT_EQ(environment.defaults->object("openVpnPort"), nlohmann::json(false));
    EXPECT_EQ(UserSettings::savedOpenVPNPort(), OpenVPNPort::UDP);
}

TEST_F(UserSettingsTest, TheHostnameNeedsACityList) {
    UserSettings::setHostname("fr-par.test");
    EXPECT_EQ(UserSettings::hostname(), "");
    setCities({});
    EXPECT_EQ(UserSettings::hostname(), "");
    EXPECT_EQ(UserSettings::serverName(), std::nullopt);
}

TEST_F(UserSettingsTest, HostnameAndServerNameFollowTheStoredDomain) {
    setCities({city("de-fra.test", "DE - Frankfurt"), city("fr-par.test", "FR - Paris"), city("us-nyc.test", std::nullopt)});
    EXPECT_EQ(UserSettings::hostname(), "de-fra.test");
    EXPECT_EQ(UserSettings::serverName(), "DE - Frankfurt");

    UserSettings::setHostname("fr-par.test");
    EXPECT_EQ(UserSettings::hostname(), "fr-par.test");
    EXPECT_EQ(UserSettings::serverName(), "FR - Paris");

    UserSettings::setHostname("FR-PAR.TEST");
    EXPECT_EQ(UserSettings::hostname(), "FR-PAR.TEST");
    EXPECT_EQ(UserSettings::serverName(), "DE - Frankfurt");

    UserSettings::setHostname("us-nyc.test");
    EXPECT_EQ(UserSettings::serverName(), "DE - Frankfurt");  // the match has no short name

    UserSettings::setHostname("");
    EXPECT_EQ(UserSettings::hostname(), "");

    UserSettings::setHostname(std::nullopt);
    EXPECT_FALSE(environment.defaults->object("hostname"));
    EXPECT_EQ(UserSettings::hostname(), "de-fra.test");
}

TEST_F(UserSettingsTest, CredentialsAreStoredAndRemoved) {
    UserSettings::setUsername("someone@x.test");
    UserSettings::setPassword("secret");
    EXPECT_EQ(environment.defaults->string("username"), "someone@x.test");
    EXPECT_EQ(UserSettings::password(), "secret");
    UserSettings::setUsername(std::nullopt);
    UserSettings::setPassword(std::nullopt);
    EXPECT_FALSE(environment.defaults->object("username"));
    EXPECT_FALSE(environment.defaults->object("password"));
    EXPECT_EQ(UserSettings::username(), "");
}

TEST_F(UserSettingsTest, TheVpnPasswordGoesToTheKeychainWhenSet) {
    UserSettings::setVpnPassword("vpn-secret");
    EXPECT_EQ(UserSettings::vpnPassword(), "vpn-secret");
    EXPECT_EQ(corvantis::Keychain::passwordStringForVPNID("com.corvantis.password"), "vpn-secret");
    UserSettings::setVpnPassword(std::nullopt);
    EXPECT_FALSE(UserSettings::vpnPassword());
    EXPECT_EQ(corvantis::Keychain::passwordStringForVPNID("com.corvantis.password"), "vpn-secret");

    // Each profile reply hands the password again: the keychain is written only when it changes,
    // also when this run knew nothing yet (memory empty, as after a start).
    const auto keychainFile = environment.folder / "keychain.json";
    const auto fileIdentity = [&] {
        struct stat status {};
        EXPECT_EQ(::stat(keychainFile.c_str(), &status), 0);
        // Every write replaces the file: a new inode, changed now.
        return std::tuple(status.st_ino, status.st_ctim.tv_sec, status.st_ctim.tv_nsec);
    };
    const auto written = fileIdentity();
    UserSettings::setVpnPassword("vpn-secret");
    UserSettings::setVpnPassword("vpn-secret");
    EXPECT_EQ(fileIdentity(), written) << "an unchanged password is not written again";
    EXPECT_EQ(UserSettings::vpnPassword(), "vpn-secret");
    UserSettings::setVpnPassword("vpn-renewed");
    EXPECT_EQ(corvantis::Keychain::passwordStringForVPNID("com.corvantis.password"), "vpn-renewed");
}

// Without a known gateway (the engage does nothing, the release looks for the gateway again).
const std::vector<std::string> engaged{"removeDefaultRoute() gateway = nil"};
const std::vector<std::string> released{"restoreDefaultRoute()", "removeSavedServerFromRoute() gateway is nil",
                                        "restoreDefaultRoute() gateway = nil"};

struct RouteCase {
    const char* what;
    ConnectionState state;
    bool shieldStored;
    bool value;
    std::vector<std::string> operations;
};

TEST_F(UserSettingsTest, TheKillSwitchEngagesOrReleasesTheRoute) {
    const std::vector<RouteCase> cases{
        {"on, disconnected, Shield off", ConnectionState::disconnected, false, true, {}},
        {"on, disconnected, Shield on", ConnectionState::disconnected, true, true, engaged},
        {"on, connected, Shield off", ConnectionState::connected, false, true, engaged},
        {"on, connecting, Shield on", ConnectionState::connecting, true, true, engaged},
        {"off, connected", ConnectionState::connected, true, false, released},
        {"off, disconnected, Shield off", ConnectionState::disconnected, false, false, released},
    };
    for (const auto& check : cases) {
        environment.reporter->configureScope([](auto& scope) { scope.clearBreadcrumbs(); });
        connectView->connectionState = check.state;
        ASSERT_TRUE(environment.defaults->set(check.shieldStored, "isCorvantisShieldEnabled"));
        UserSettings::setIsKillSwitchEnabled(check.value);
        EXPECT_EQ(UserSettings::isKillSwitchEnabled(), check.value) << check.what;
        EXPECT_EQ(routeOperations(), check.operations) << check.what;
        EXPECT_EQ(UserSettings::isCorvantisShieldEnabled(), check.shieldStored) << check.what;
    }
}

TEST_F(UserSettingsTest, TheShieldActsOnlyWhileDisconnectedAndOnlyTogetherWithTheKillSwitch) {
    ASSERT_TRUE(environment.defaults->set(true, "isKillSwitchEnabled"));
    const std::vector<RouteCase> cases{
        {"on, disconnected", ConnectionState::disconnected, false, true, engaged},
        {"off, disconnected", ConnectionState::disconnected, true, false, released},
        {"on, connected", ConnectionState::connected, false, true, {}},
        {"off, connecting", ConnectionState::connecting, true, false, {}},
    };
    for (const auto& check : cases) {
        environment.reporter->configureScope([](auto& scope) { scope.clearBreadcrumbs(); });
        connectView->connectionState = check.state;
        UserSettings::setIsCorvantisShieldEnabled(check.value);
        EXPECT_EQ(UserSettings::isCorvantisShieldEnabled(), check.value) << check.what;
        EXPECT_EQ(routeOperations(), check.operations) << check.what;
    }
    // Without the kill switch the Shield's value is stored, and the route stays.
    ASSERT_TRUE(environment.defaults->set(false, "isKillSwitchEnabled"));
    connectView->connectionState = ConnectionState::disconnected;
    environment.reporter->configureScope([](auto& scope) { scope.clearBreadcrumbs(); });
    UserSettings::setIsCorvantisShieldEnabled(true);
    EXPECT_TRUE(UserSettings::isCorvantisShieldEnabled());
    EXPECT_TRUE(routeOperations().empty());
}

TEST_F(UserSettingsTest, WithoutAConnectScreenNoTunnelIsUp) {
    MainWindow::shared().connectView = nullptr;
    ASSERT_TRUE(environment.defaults->set(true, "isKillSwitchEnabled"));
    UserSettings::setIsCorvantisShieldEnabled(true);
    EXPECT_EQ(routeOperations(), engaged);
}

TEST_F(UserSettingsTest, LaunchAtLoginIsStoredOnceTheHelperReplies) {
    UserSettings::setLaunchOnLogin(true);
    const auto commands = [&] { return environment.helper->commands(); };
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0],
              "osascript -e 'tell application \"System Events\" to make login item at end with properties "
              "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'");
    EXPECT_EQ(UserSettings::launchOnLogin(), false);
    answer(0, std::string("execution error: not allowed"));
    EXPECT_EQ(UserSettings::launchOnLogin(), true);
    EXPECT_EQ(environment.defaults->object("launchAtLogin"), nlohmann::json(true));

    UserSettings::setLaunchOnLogin(false);
    EXPECT_EQ(commands()[1], "osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'");
    EXPECT_EQ(UserSettings::launchOnLogin(), true);  // no reply yet
    answer(1, std::nullopt);
    EXPECT_EQ(UserSettings::launchOnLogin(), false);
}

TEST_F(UserSettingsTest, LaunchAtLoginWithoutAHelperChangesNothing) {
    HelperService::setShared(nullptr);
    UserSettings::setLaunchOnLogin(true);
    EXPECT_EQ(UserSettings::launchOnLogin(), false);
    EXPECT_FALSE(environment.defaults->object("launchAtLogin"));
}

TEST_F(UserSettingsTest, TheNameServersComeFromTheHelperUnchanged) {
    std::optional<std::string> servers;
    UserSettings::getDefaultGateway([&](const std::string& reply) { servers = reply; });
    ASSERT_EQ(environment.helper->commands(), std::vector<std::string>{"grep -v '#' < /etc/resolv.conf | awk {'print $2'}"});
    answer(0, std::string("192.0.2.53\n2001:db8::53\n"));
    EXPECT_EQ(servers, "192.0.2.53\n2001:db8::53\n");
}

TEST_F(UserSettingsTest, WithoutAHelperTheNameServersAreEmptyButStillAnswered) {
    HelperService::setShared(nullptr);
    std::optional<std::string> servers;
    UserSettings::getDefaultGateway([&](const std::string& reply) { servers = reply; });
    EXPECT_FALSE(servers);  // never on the caller's stack
    environment.runMainQueue();
    EXPECT_EQ(servers, "");
}

TEST_F(UserSettingsTest, TheHelperAcceptsEveryCommandTheSettingsSend) {
    UserSettings::setLaunchOnLogin(true);
    UserSettings::setLaunchOnLogin(false);
    UserSettings::getDefaultGateway([](const std::string&) {});
    const corvantis::helper::AllowedCommandLines allowed(environment.folder.path());
    const std::vector<corvantis::helper::RootCommand> records{
        corvantis::helper::AddLoginItem{}, corvantis::helper::DeleteLoginItem{}, corvantis::helper::ListResolverSecondFields{}};
    const auto commands = environment.helper->commands();
    ASSERT_EQ(commands.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto match = allowed.match(commands[i]);
        ASSERT_TRUE(std::holds_alternative<corvantis::helper::RootCommand>(match)) << commands[i];
        EXPECT_TRUE(std::get<corvantis::helper::RootCommand>(match) == records[i]) << commands[i];
    }
}

TEST_F(UserSettingsTest, MemoryValuesAreKeptForTheRunOnly) {
    UserSettings::setEmail("someone@x.test");
    UserSettings::setPlan("Yearly");
    UserSettings::setSavedCredentials(true);
    EXPECT_EQ(UserSettings::email(), "someone@x.test");
    EXPECT_EQ(UserSettings::plan(), "Yearly");
    EXPECT_TRUE(UserSettings::savedCredentials());
    EXPECT_FALSE(environment.defaults->object("email"));
    EXPECT_FALSE(environment.defaults->object("plan"));
}

}  // namespace

namespace {

TEST(SettingsEnumerations, ConstructFromTheirRawValuesOnly) {
    EXPECT_EQ(corvantis::ProtocolFromRaw(0), Protocol::IKEv2);
    EXPECT_EQ(corvantis::ProtocolFromRaw(1), Protocol::OpenVPN);
    EXPECT_EQ(corvantis::ProtocolFromRaw(2), Protocol::L2TP);
    EXPECT_FALSE(corvantis::ProtocolFromRaw(3));
    EXPECT_FALSE(corvantis::ProtocolFromRaw(-1));
    EXPECT_EQ(description(Protocol::L2TP), "L2TP");
    EXPECT_EQ(corvantis::OpenVPNPortFromRaw("TCP"), OpenVPNPort::TCP);
    EXPECT_EQ(corvantis::OpenVPNPortFromRaw("UDP"), OpenVPNPort::UDP);
    EXPECT_FALSE(corvantis::OpenVPNPortFromRaw("tcp"));
    EXPECT_EQ(rawValue(OpenVPNPort::TCP), "TCP");
    EXPECT_EQ(corvantis::ConnectionStateFromRaw(2), ConnectionState::disconnected);
    EXPECT_FALSE(corvantis::ConnectionStateFromRaw(3));
}

}  // namespace
