// The connect screen as a person and the network drive it: the click in every state, the guard
// after a disconnect, confirming by the public address, retries and the give-up, a dropped
// tunnel, a server switch, the displays and the duration.

#include "HelperService/CorvantisHelperController/HelperIKEv2Tunnel.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/ConnectViewController.hpp"
#include "app/ConnectionAttempt.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/ConnectScreenLooks.hpp"
#include "fixtures/LookupSession.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/network/VPNManager.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::AppDelegate;
using corvantis::ConnectionState;
using corvantis::ConnectView;
using corvantis::UserSettings;
using corvantis::helper::HelperSelector;
using platform::ui::Alert;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

constexpr const char* ipifyUrl = "http://ipify.test/";
constexpr const char* ipapiUrl = "http://ipapi.test/json/";
constexpr const char* chosenHost = "nl-ams.corvantis.test";
constexpr const char* chosenAddress = "203.0.113.7";
constexpr const char* otherHost = "de-fra.corvantis.test";
constexpr const char* otherAddress = "203.0.113.9";
constexpr const char* ownAddress = "192.0.2.55";
constexpr const char* gateway = "192.168.1.1";
constexpr const char* tunnelGateway = "203.0.113.1";
constexpr const char* tunnelRoute = "route -n add -net 0/1 203.0.113.1";
constexpr const char* dnsFlush = "dscacheutil -flushcache; sudo killall -HUP mDNSResponder";

std::shared_ptr<corvantis::City> city(const char* domain, const char* address) {
    auto made = std::make_shared<corvantis::City>();
    made->domain = domain;
    made->address = address;
    made->shortName = std::string("NL - ") + domain;
    return made;
}

std::string ipifyReply(const std::string& address) {
    return nlohmann::json{{"ip", address}}.dump();
}

class ConnectViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ui::Application::shared().reset();
        Alert::forgetPendingAlerts();
        platform::network::VPNManager::resetShared();
        delegate->logger = prq::PRQLogger::make("connect", false);
        delegate->logger->add(log);
        delegate->allCities = std::vector{city(chosenHost, chosenAddress), city(otherHost, otherAddress)};
        delegate->helper = helper;
        AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(helper);
        UserSettings::setHostname(chosenHost);
        useBundleWithGuard();
        // The backend's profiles are at hand, so a start goes straight to the helper.
        corvantis::ApiService::savedTcpConfig = platform::foundation::Base64::encode("client\nremote [hostname] [port]");
        corvantis::ApiService::savedUdpConfig = corvantis::ApiService::savedTcpConfig;

        auto& mainWindow = corvantis::MainWindow::shared();
        mainWindow.setup(corvantis::registerMainStoryboard());
        view = mainWindow.connectView;
        mainWindow.switchToView(corvantis::View::connectView);
        environment.time.advance(2s);  // past the guard after the disconnected look
        environment.helper->clear();
        log->clear();
    }

    // A bundle whose resources hold the guard's files and the down script.
    void useBundleWithGuard() {
        const auto resources = environment.folder / "Resources";
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(resources));
        for (const char* name : {"com.corvantis.CorvantisGuard.plist", "corvantis_guard.sh", "down.sh"}) {
            ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(resources / name, "", 0644));
        }
        auto services = platform::Services::current();
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(environment.folder.path(), resources);
        bundle = std::make_unique<platform::ScopedServices>(std::move(services));
    }

    void TearDown() override {
        Alert::forgetPendingAlerts();
        platform::ui::Application::shared().reset();
        platform::network::VPNManager::resetShared();
    }

    void click() {
        view->btnConnect->click();
        environment.runMainQueue();
    }

    // The state after the helper reported the tunnel up and a check confirmed it.
    void connect() {
        click();
        answerOpenVpn(true);
        confirmWith(chosenAddress);
        ASSERT_EQ(view->connectionState, ConnectionState::connected);
        environment.helper->clear();
        log->clear();
    }

    void answerOpenVpn(bool connected) {
        for (std::size_t start = 0; start < count(HelperSelector::runOpenVPN); ++start) answerOpenVpnStart(start, connected);
    }

    // Answers the `nth` OpenVPN start sent since the helper's calls were last cleared.
    void answerOpenVpnStart(std::size_t nth, std::optional<bool> connected) {
        const auto calls = environment.helper->calls();
        for (std::size_t index = 0; index < calls.size(); ++index) {
            if (calls[index].call.selector != HelperSelector::runOpenVPN || nth-- != 0) continue;
            environment.helper->answer(
                index, connected ? std::optional(corvantis::helper::HelperWireCodec::encodeTextArrayReply(
                                       *connected ? Texts{"connected", "output", tunnelGateway} : Texts{"ended", "output"}))
                                 : std::nullopt);
            break;
        }
        environment.runMainQueue();
    }

    // A reachability change whose lookup answers with `address` from the first service. Lookups
    // still open were made by checks that this one replaces.
    void confirmWith(const std::string& address) {
        lookups.forgetOpen();
        view->checkConnectionState();
        answerIpify(address);
    }

    void answerIpify(const std::string& address) {
        ASSERT_EQ(lookups.next(), ipifyUrl);
        lookups.reply(ipifyReply(address));
        environment.runMainQueue();
    }

    // Both services fail.
    void failBoth() {
        ASSERT_EQ(lookups.next(), ipifyUrl);
        lookups.fail();
        ASSERT_EQ(lookups.next(), std::string(ipapiUrl) + "?fields=ip&lang=en");
        lookups.fail();
        environment.runMainQueue();
    }

    bool tunnelStarted() const { return count(HelperSelector::runOpenVPN) > 0; }
    bool tunnelEnded() const { return count(HelperSelector::disconnect) > 0; }
    std::size_t count(HelperSelector selector) const {
        std::size_t found = 0;
        for (const auto& call : environment.helper->calls()) found += call.call.selector == selector;
        return found;
    }
    std::size_t sent(const std::string& command) const {
        const auto commands = environment.helper->commands();
        return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
    }
    void expectDisconnectedLook() const { corvantis::testing::expectDisconnectedLook(*view); }
    // "restore", "remove" or "" by the default-route commands sent.
    std::string defaultRoute() const {
        std::string done;
        for (const auto& command : environment.helper->commands()) {
            if (command == std::string("route -n add default ") + gateway) done += "restore";
            if (command.ends_with(std::string("route -n delete default ") + gateway)) done += "remove";
        }
        return done;
    }
    Texts breadcrumbs() const {
        Texts found;
        const auto scope = environment.reportScope();
        for (const auto& crumb : scope.breadcrumbs()) found.push_back(crumb.category);
        return found;
    }
    bool logged(const std::string& line, prq::Level level = prq::Level::info) const {
        const auto lines = log->logged(level);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::string statusIcon() const { return corvantis::testing::statusIconName(); }
    std::shared_ptr<Alert> shownAlert() const {
        const auto alerts = Alert::pendingAlerts();
        return alerts.size() == 1 && alerts.front()->isShown() ? alerts.front() : nullptr;
    }

    std::shared_ptr<corvantis::testing::LookupSession> session = std::make_shared<corvantis::testing::LookupSession>();
    corvantis::testing::LookupSession& lookups = *session;
    corvantis::testing::AppTestEnvironment environment{session};
    corvantis::testing::ScopedEnvironment temporary{"TMPDIR", environment.folder.path().string()};
    corvantis::testing::ScopedEnvironment ipify{"CORVANTIS_IPIFY_URL", ipifyUrl};
    corvantis::testing::ScopedEnvironment ipapi{"CORVANTIS_IPAPI_URL", ipapiUrl};
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<corvantis::CorvantisHelperController> helper = std::make_shared<corvantis::CorvantisHelperController>();
    std::shared_ptr<corvantis::testing::RecordingDestination> log = std::make_shared<corvantis::testing::RecordingDestination>();
    std::unique_ptr<platform::ScopedServices> bundle;
    std::shared_ptr<ConnectView> view;
};

TEST_F(ConnectViewTest, AClickDoesWhatItsStateInternetKillSwitchAndShieldCallFor) {
    struct Row {
        const char* what;
        ConnectionState before;
        bool internet, killSwitch, shield;
        // What the click did at once.
        bool started, lookedUp, ended;
        std::string defaultRoute;
        ConnectionState after;
    };
    using S = ConnectionState;
    const std::vector<Row> rows{
        {"start", S::disconnected, true, false, false, true, false, false, "", S::connecting},
        {"start, the kill switch does not matter", S::disconnected, true, true, true, true, false, false, "", S::connecting},
        {"offline: probe first", S::disconnected, false, false, false, false, true, false, "", S::connecting},
        {"offline, kill switch: host routes first", S::disconnected, false, true, false, false, false, false, "restore",
         S::connecting},
        {"offline, kill switch and Shield", S::disconnected, false, true, true, false, false, false, "remove", S::connecting},
        {"cancel", S::connecting, true, false, false, false, false, true, "restore", S::disconnected},
        {"cancel with the Shield", S::connecting, true, true, true, false, false, true, "remove", S::disconnected},
        {"cancel with the Shield alone", S::connecting, true, false, true, false, false, true, "restore", S::disconnected},
        {"disconnect", S::connected, true, false, false, false, false, true, "restore", S::disconnected},
        {"disconnect with the Shield keeps the route away", S::connected, true, true, true, false, false, true, "",
         S::disconnected},
        {"disconnect with the Shield alone", S::connected, true, false, true, false, false, true, "restore", S::disconnected},
    };
    delegate->gateway = gateway;
    for (const auto& row : rows) {
        environment.helper->clear();
        view->connectionState = row.before;
        view->connectedHostname = UserSettings::hostname();
        view->internetActive = row.internet;
        view->btnConnect->setEnabled(true);
        UserSettings::setIsKillSwitchEnabled(row.killSwitch);
        UserSettings::setIsCorvantisShieldEnabled(row.shield);
        ASSERT_TRUE(environment.defaults->removeObject("disconnectedTime"));
        environment.helper->clear();

        click();
        EXPECT_EQ(tunnelStarted(), row.started) << row.what;
        EXPECT_EQ(row.lookedUp ? lookups.next() == ipifyUrl : lookups.hasOpenRequest(), row.lookedUp) << row.what;
        EXPECT_EQ(tunnelEnded(), row.ended) << row.what;
        EXPECT_EQ(defaultRoute(), row.defaultRoute) << row.what;
        EXPECT_EQ(view->connectionState, row.after) << row.what;
        EXPECT_TRUE(view->btnConnect->isEnabled()) << row.what;
        if (row.lookedUp) {
            lookups.reply(ipifyReply(ownAddress));  // the probe finds the internet: the tunnel starts
            environment.runMainQueue();
            EXPECT_TRUE(tunnelStarted()) << row.what;
        }
    }
    const auto crumbs = breadcrumbs();
    EXPECT_NE(std::find(crumbs.begin(), crumbs.end(), "btnConnectClick(_ :)"), crumbs.end());
}

TEST_F(ConnectViewTest, TheKillSwitchStartWaitsForTheHostRoutesAndAFailedProbeSaysSo) {
    delegate->gateway = gateway;
    UserSettings::setIsKillSwitchEnabled(true);
    view->internetActive = false;
    click();
    EXPECT_FALSE(tunnelStarted());
    environment.helper->answerCommand("scutil --dns | grep 'nameserver' | awk '{print $3}'", "");
    environment.runMainQueue();
    EXPECT_TRUE(tunnelStarted()) << "started once the name servers' routes are done";

    view->connectedHostname = UserSettings::hostname();
    view->disconnect();
    UserSettings::setIsKillSwitchEnabled(false);
    view->internetActive = false;
    environment.helper->clear();
    click();
    ASSERT_EQ(lookups.next(), ipifyUrl);
    lookups.fail();
    environment.runMainQueue();
    const auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->messageText(), "Corvantis");
    EXPECT_EQ(alert->informativeText(), "You are not connected to the Internet. Please, check your connection and try again");
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
    EXPECT_FALSE(tunnelStarted());
}

TEST_F(ConnectViewTest, AClickSoonAfterADisconnectWaitsTwoSecondsUnlessCancelled) {
    const auto now = corvantis::millisecondsSince1970(platform::Services::current().wallNow());
    for (const auto& [stored, waits] : std::vector<std::pair<std::optional<std::int64_t>, bool>>{
             {now - 1999, true}, {now - 2000, false}, {std::nullopt, false}}) {
        view->connectedHostname = UserSettings::hostname();
        view->disconnect();
        environment.helper->clear();
        log->clear();
        if (stored) {
            ASSERT_TRUE(environment.defaults->set(*stored, "disconnectedTime"));
        } else {
            ASSERT_TRUE(environment.defaults->removeObject("disconnectedTime"));
        }
        click();
        EXPECT_EQ(tunnelStarted(), !waits) << (stored ? now - *stored : -1);
        EXPECT_EQ(logged("btnConnectClick(_:): Finishing previous connection"), waits);
        environment.time.advance(2s);
        EXPECT_TRUE(tunnelStarted());
    }

    // A cancel inside the two seconds keeps the tunnel from starting.
    view->connectedHostname = UserSettings::hostname();
    view->disconnect();
    environment.helper->clear();
    click();  // the disconnect just now wrote the time
    click();
    environment.time.advance(5s);
    EXPECT_FALSE(tunnelStarted());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
}

TEST_F(ConnectViewTest, AnyServersAddressConfirmsAndTheHelpersReplyOnlyDrawsTheConnectedLook) {
    click();
    answerOpenVpn(true);
    EXPECT_EQ(view->connectionState, ConnectionState::connecting) << "the reply draws, the address confirms";
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
    EXPECT_FALSE(view->lblDuration->isHidden());
    EXPECT_EQ(statusIcon(), "StatusBarIconActive");
    const auto commands = environment.helper->commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), dnsFlush), commands.end());
    EXPECT_NE(std::find(commands.begin(), commands.end(), tunnelRoute), commands.end());

    confirmWith(otherAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    EXPECT_TRUE(logged("connectionChanged(ip:): Connection state: connected"));
    log->clear();
    confirmWith(chosenAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    EXPECT_FALSE(logged("connectionChanged(ip:): Connection state: connected")) << "a second match changes nothing";
}

TEST_F(ConnectViewTest, ChecksWhileDisconnectedOnlyEnableTheButtonOrRunTheDownScriptAndNeedTheCityList) {
    view->btnConnect->setEnabled(false);
    confirmWith(ownAddress);
    EXPECT_TRUE(view->btnConnect->isEnabled());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
    EXPECT_TRUE(environment.helper->calls().empty());

    view->checkConnectionState();
    failBoth();
    const auto commands = environment.helper->commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_TRUE(commands[0].starts_with("sh \"") && commands[0].ends_with("/down.sh\"")) << commands[0];
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);

    view->internetActive = true;  // no probe first
    click();
    environment.helper->clear();
    delegate->allCities.reset();
    confirmWith(chosenAddress);
    const auto crumbs = breadcrumbs();
    EXPECT_NE(std::find(crumbs.begin(), crumbs.end(), "citiesList is nil"), crumbs.end());
    EXPECT_TRUE(tunnelEnded());
}

TEST_F(ConnectViewTest, UnconfirmedChecksRetryAndTheFortiethGivesUp) {
    click();
    answerOpenVpn(true);
    confirmWith(ownAddress);  // check 1
    EXPECT_TRUE(logged("connectionChanged(ip:): IP doesn't match server's address. Retrying..."));
    for (int check = 2; check < ConnectView::maximumChecks; ++check) {
        // A mismatch is retried after 2 s, a failure after 1 s; they take turns here.
        environment.time.advance(check % 2 == 0 ? 2s : 1s);
        if (check % 2 == 0) {
            failBoth();
        } else {
            answerIpify(ownAddress);
        }
        ASSERT_EQ(view->connectionState, ConnectionState::connecting) << "check " << check;
    }
    EXPECT_FALSE(shownAlert());
    environment.helper->clear();
    environment.time.advance(2s);
    failBoth();  // the fortieth
    EXPECT_TRUE(logged("timedOut(): Timeout: 40/40"));
    const auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), "Connection timeout. Please, try again or contact Corvantis support");
    const auto events = environment.reportedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, "Connection timeout");
    EXPECT_EQ(events[0].extras.at("server_address"), chosenHost);
    EXPECT_EQ(events[0].extras.at("port"), "UDP");
    EXPECT_EQ(events[0].extras.at("connect_started"), view->connectingTime.value());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
    EXPECT_EQ(view->timeoutValue, 1);
    EXPECT_TRUE(view->btnConnect->isEnabled());
    EXPECT_TRUE(tunnelEnded());
    environment.time.advance(10s);
    EXPECT_FALSE(lookups.hasOpenRequest()) << "no more retries";
}

TEST_F(ConnectViewTest, ADroppedTunnelDisconnectsAndALateAnswerDoesNotConfirmACancelledOne) {
    connect();
    view->checkConnectionState();
    failBoth();
    EXPECT_TRUE(logged("checkConnectionState(): Connection dropped"));
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
    EXPECT_TRUE(tunnelEnded());
    EXPECT_FALSE(view->internetActive);

    // A lookup made while connecting answers after the user cancelled.
    view->internetActive = true;
    environment.time.advance(3s);
    click();
    view->checkConnectionState();
    ASSERT_EQ(lookups.next(), ipifyUrl);
    click();  // cancel
    ASSERT_EQ(view->connectionState, ConnectionState::disconnected);
    lookups.reply(ipifyReply(chosenAddress));
    environment.runMainQueue();
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);
}

TEST_F(ConnectViewTest, AServerSwitchReconnectsAfterThreeSecondsUnlessTheUserCancels) {
    for (const bool cancelled : {false, true}) {
        UserSettings::setHostname(chosenHost);
        connect();
        UserSettings::setHostname(otherHost);
        view->show();
        EXPECT_TRUE(tunnelEnded());
        EXPECT_EQ(view->connectionState, ConnectionState::connecting) << "the reconnect look";
        environment.time.advance(2s);
        EXPECT_FALSE(tunnelStarted());
        if (cancelled) click();
        environment.time.advance(1s);
        EXPECT_EQ(tunnelStarted(), !cancelled);
        EXPECT_EQ(view->connectionState, cancelled ? ConnectionState::disconnected : ConnectionState::connecting);
        environment.time.advance(10s);
        EXPECT_LE(count(HelperSelector::runOpenVPN), 1u) << "never a second tunnel";
        view->disconnect();
        environment.time.advance(3s);
    }
}

TEST_F(ConnectViewTest, AProbeUnderWayStartsTheTunnelWhateverChecksTheAddressMeanwhile) {
    // Offline at the click: while the probe asks, a reachability change checks the address.
    view->internetActive = false;
    click();
    ASSERT_EQ(lookups.next(), ipifyUrl);
    view->checkConnectionState();
    lookups.reply(ipifyReply(ownAddress));  // the probe finds the internet
    environment.runMainQueue();
    EXPECT_TRUE(tunnelStarted());
    EXPECT_EQ(view->connectionState, ConnectionState::connecting);

    // The user cancels before the probe answers: nothing starts.
    click();
    lookups.forgetOpen();
    environment.helper->clear();
    view->internetActive = false;
    click();
    ASSERT_EQ(lookups.next(), ipifyUrl);
    click();
    lookups.reply(ipifyReply(ownAddress));
    environment.runMainQueue();
    EXPECT_FALSE(tunnelStarted());
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);

    // After a server switch the old tunnel's checks fail and retry each second; the reconnect
    // probes in between.
    view->internetActive = true;
    environment.time.advance(3s);
    connect();
    UserSettings::setHostname(otherHost);
    view->show();
    environment.time.advance(500ms);
    lookups.forgetOpen();
    view->checkConnectionState();
    failBoth();
    for (int retry = 0; retry < 2; ++retry) {
        environment.time.advance(1s);
        failBoth();
    }
    ASSERT_FALSE(view->internetActive);
    environment.time.advance(500ms);  // 3 s after the switch: the reconnect's click, its probe
    ASSERT_EQ(lookups.next(), ipifyUrl);
    environment.time.advance(500ms);
    view->checkConnectionState();  // checks go on meanwhile
    lookups.reply(ipifyReply(ownAddress));
    environment.runMainQueue();
    EXPECT_TRUE(tunnelStarted());
}

TEST_F(ConnectViewTest, AnAttemptThatNobodyAnswersEndsByTheChecksWithTheTimeOut) {
    // The helper never answers and no reachability change comes.
    click();
    ASSERT_TRUE(tunnelStarted());
    int checks = 0;
    for (; checks < ConnectView::maximumChecks + 5 && !shownAlert(); ++checks) {
        environment.time.advance(2s);
        ASSERT_EQ(lookups.next(), ipifyUrl) << "check " << checks + 1 << " never came";
        lookups.reply(ipifyReply(ownAddress));
        environment.runMainQueue();
    }
    EXPECT_EQ(checks, ConnectView::maximumChecks);
    const auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), "Connection timeout. Please, try again or contact Corvantis support");
    expectDisconnectedLook();
    EXPECT_TRUE(tunnelEnded());

    // The ended openvpn's late answer belongs to that attempt and changes nothing.
    log->clear();
    answerOpenVpnStart(0, false);
    EXPECT_FALSE(logged("startConnection(): OpenVPN connection error", prq::Level::error));
    environment.time.advance(10s);
    EXPECT_FALSE(lookups.hasOpenRequest()) << "the checks stopped";
}

TEST_F(ConnectViewTest, AStartThatCannotBeMadeOrIsLeftWithoutAReplyFailsAtOnce) {
    // A file stands where the profile's private folder should be.
    const auto folder = environment.folder / "OpenVPN";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder, "", 0600));
    click();
    EXPECT_FALSE(tunnelStarted());
    EXPECT_TRUE(logged("startConnection(): OpenVPN connection error", prq::Level::error));
    expectDisconnectedLook();

    ASSERT_TRUE(std::filesystem::remove(folder));
    environment.time.advance(3s);
    log->clear();
    click();
    ASSERT_TRUE(tunnelStarted());
    answerOpenVpnStart(0, std::nullopt);  // the helper's connection ends without a reply
    EXPECT_TRUE(logged("startConnection(): OpenVPN connection error", prq::Level::error));
    expectDisconnectedLook();
}

TEST_F(ConnectViewTest, TheConnectedDisplayRunsOnceWhicheverOfTheReplyAndTheAddressComesFirst) {
    delegate->gateway = gateway;
    UserSettings::setIsKillSwitchEnabled(true);
    for (const bool addressFirst : {false, true}) {
        environment.time.advance(3s);
        environment.helper->clear();
        // An older tunnel's gateway is still known; only this tunnel's may be routed.
        delegate->openVpnGateway = "203.0.113.99";
        click();
        if (addressFirst) {
            confirmWith(chosenAddress);
            EXPECT_EQ(sent(tunnelRoute) + sent("route -n add -net 0/1 203.0.113.99"), 0u) << "no gateway of this tunnel yet";
        } else {
            answerOpenVpn(true);
        }
        EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn")) << addressFirst;
        EXPECT_EQ(statusIcon(), "StatusBarIconActive") << addressFirst;
        EXPECT_FALSE(view->lblDuration->isHidden()) << addressFirst;
        EXPECT_EQ(defaultRoute(), "remove") << "the kill switch engaged; " << addressFirst;

        if (addressFirst) {
            answerOpenVpn(true);
        } else {
            confirmWith(chosenAddress);
        }
        EXPECT_EQ(view->connectionState, ConnectionState::connected) << addressFirst;
        EXPECT_EQ(sent(dnsFlush), 1u) << addressFirst;
        EXPECT_EQ(sent(tunnelRoute), 1u) << addressFirst;
        EXPECT_EQ(defaultRoute(), "remove") << "once; " << addressFirst;
        environment.time.advance(2s);
        EXPECT_EQ(view->lblDuration->stringValue(), "00:00:01") << "one timer; " << addressFirst;
        click();
    }
}

TEST_F(ConnectViewTest, AnOlderTunnelsAddressDuringTheTwoSecondWaitConfirmsNothing) {
    delegate->gateway = gateway;
    UserSettings::setIsKillSwitchEnabled(true);
    connect();
    click();  // disconnect
    environment.helper->clear();
    click();  // at once again: the start waits for the old tunnel to go
    ASSERT_TRUE(logged("btnConnectClick(_:): Finishing previous connection"));
    confirmWith(chosenAddress);  // the old tunnel, still on its way down
    EXPECT_EQ(view->connectionState, ConnectionState::connecting);

    environment.time.advance(2s);
    ASSERT_TRUE(tunnelStarted());
    answerOpenVpn(true);
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
    EXPECT_TRUE(view->lblConnectTo->isHidden());
    EXPECT_EQ(sent(tunnelRoute), 1u);
    EXPECT_EQ(defaultRoute(), "remove") << "the kill switch engaged for the new tunnel";
    confirmWith(chosenAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    environment.time.advance(1s);
    EXPECT_EQ(view->lblDuration->stringValue(), "00:00:00");
}

TEST_F(ConnectViewTest, LeavingTheScreenBeforeTheAddressConfirmsKeepsTheConnectedLook) {
    const double restingY = view->btnLocation->frame().origin.y;
    click();
    answerOpenVpn(true);
    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.switchToView(corvantis::View::settingsView);
    mainWindow.switchToView(corvantis::View::connectView);
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
    EXPECT_EQ(statusIcon(), "StatusBarIconActive");
    EXPECT_TRUE(view->lblConnectTo->isHidden());
    EXPECT_FALSE(view->lblDuration->isHidden());
    EXPECT_EQ(view->btnLocation->frame().origin.y, restingY + 12) << "raised once";

    confirmWith(chosenAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    EXPECT_EQ(statusIcon(), "StatusBarIconActive");
    EXPECT_EQ(sent(dnsFlush), 1u) << "the tunnel's work is done once";
    click();  // a disconnect, as the screen says
    EXPECT_TRUE(tunnelEnded());
    expectDisconnectedLook();
}

TEST_F(ConnectViewTest, ATunnelIsRoutedOnlyThroughTheGatewayThatItsOwnReplyNamed) {
    connect();  // a tunnel whose reply named its gateway
    click();
    environment.time.advance(3s);
    // A start cancelled, then another one: the cancelled tunnel's reply comes late, with a
    // gateway, and the new one's names none.
    environment.helper->clear();
    click();
    click();
    environment.time.advance(3s);
    click();
    ASSERT_EQ(count(HelperSelector::runOpenVPN), 2u);
    const auto answerStart = [&](std::size_t nth, const Texts& reply) {
        const auto calls = environment.helper->calls();
        for (std::size_t index = 0; index < calls.size(); ++index) {
            if (calls[index].call.selector != HelperSelector::runOpenVPN || nth-- != 0) continue;
            environment.helper->answer(index, corvantis::helper::HelperWireCodec::encodeTextArrayReply(reply));
            break;
        }
        environment.runMainQueue();
    };
    answerStart(0, Texts{"connected", "output", "203.0.113.99"});
    answerStart(1, Texts{"connected", "output"});
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
    for (const auto& command : environment.helper->commands())
        EXPECT_FALSE(command.starts_with("route -n add -net 0/1")) << command;
}

TEST_F(ConnectViewTest, AnAttemptEndsWithinItsBoundWhateverTheLookupsAndReachabilityDo) {
    for (const bool flapping : {true, false}) {
        environment.time.advance(3s);
        environment.helper->clear();
        lookups.forgetOpen();
        click();
        ASSERT_TRUE(tunnelStarted()) << flapping;
        auto elapsed = 0s;
        const auto wait = [&](std::chrono::seconds span) {
            environment.time.advance(span);
            elapsed += span;
            return shownAlert() != nullptr;
        };
        while (elapsed < 15min) {
            if (flapping) {
                // Reachability changes every second; each check replaces the one before it
                // answered.
                if (wait(1s)) break;
                lookups.forgetOpen();
                view->checkConnectionState();
            } else {
                // Every lookup runs into its 10-s deadline.
                if (wait(2s)) break;
                ASSERT_EQ(lookups.next(), ipifyUrl) << elapsed.count();
                if (wait(10s)) break;
                lookups.fail();
                ASSERT_EQ(lookups.next(), std::string(ipapiUrl) + "?fields=ip&lang=en");
                if (wait(10s)) break;
                lookups.fail();
                environment.runMainQueue();
            }
        }
        EXPECT_LE(elapsed, corvantis::ConnectionAttempt::bound + 5s) << flapping;
        const auto alert = shownAlert();
        ASSERT_TRUE(alert) << flapping;
        EXPECT_EQ(alert->informativeText(), "Connection timeout. Please, try again or contact Corvantis support");
        expectDisconnectedLook();
        EXPECT_TRUE(tunnelEnded());
        ASSERT_TRUE(alert->answer("OK"));
        environment.runMainQueue();
    }
}

TEST_F(ConnectViewTest, TheFallbackServiceConfirmsAndKeepsATunnelWhenTheFirstOneFails) {
    const auto checkWithFallback = [&](const std::string& address) {
        lookups.forgetOpen();
        view->checkConnectionState();
        ASSERT_EQ(lookups.next(), ipifyUrl);
        lookups.fail();
        ASSERT_EQ(lookups.next(), std::string(ipapiUrl) + "?fields=ip&lang=en");
        lookups.reply(nlohmann::json{{"ip", address}}.dump());
        environment.runMainQueue();
    };
    click();
    answerOpenVpn(true);
    checkWithFallback(chosenAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    checkWithFallback(chosenAddress);  // one hiccup of the first service while connected
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    EXPECT_FALSE(tunnelEnded());
}

TEST_F(ConnectViewTest, ACityChosenWhileConnectingEndsThatAttemptAndConnectsToTheNewOne) {
    click();
    ASSERT_TRUE(tunnelStarted());
    UserSettings::setHostname(otherHost);
    view->show();
    EXPECT_TRUE(tunnelEnded());
    EXPECT_EQ(view->connectionState, ConnectionState::connecting);
    EXPECT_EQ(view->lblConnectTo->stringValue(), "Connecting");

    // The old server's tunnel comes up all the same: it is not the chosen city's.
    answerOpenVpnStart(0, true);
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOff"));
    EXPECT_EQ(statusIcon(), "StatusBarIconInactive");
    environment.time.advance(3s);
    ASSERT_EQ(count(HelperSelector::runOpenVPN), 2u) << "a start to the chosen server";
    answerOpenVpnStart(1, true);
    confirmWith(otherAddress);
    EXPECT_EQ(view->connectionState, ConnectionState::connected);
    EXPECT_EQ(view->connectedHostname, otherHost);
    EXPECT_EQ(view->btnConnect->image(), platform::ui::Image::named("ConnectButtonOn"));
}

TEST_F(ConnectViewTest, TheDurationCountsOnOneTimerAndTheDisplaysSetTheirElements) {
    EXPECT_EQ(ConnectView::timeFormatted(0), "00:00:00");
    EXPECT_EQ(ConnectView::timeFormatted(3725), "01:02:05");
    EXPECT_EQ(ConnectView::timeFormatted(360000), "100:00:00");

    const double restingY = view->btnLocation->frame().origin.y;
    click();
    EXPECT_EQ(view->lblConnectTo->stringValue(), "Connecting");
    answerOpenVpn(true);
    EXPECT_EQ(view->btnLocation->frame().origin.y, restingY + 12);
    EXPECT_TRUE(view->lblConnectTo->isHidden());
    environment.time.advance(1s);
    EXPECT_EQ(view->lblDuration->stringValue(), "00:00:00");
    environment.time.advance(1s);
    EXPECT_EQ(view->lblDuration->stringValue(), "00:00:01");

    // The display runs once per attempt: asked again, it neither restarts nor doubles the count.
    view->showConnectedButton();
    environment.time.advance(3s);
    EXPECT_EQ(environment.defaults->integer("duration"), 5);
    EXPECT_EQ(view->lblDuration->stringValue(), "00:00:04");

    view->connectionState = ConnectionState::connected;
    view->disconnect();
    EXPECT_EQ(view->lblDuration->stringValue(), "00:00:00");
    EXPECT_TRUE(view->lblDuration->isHidden());
    EXPECT_EQ(view->btnLocation->frame().origin.y, restingY);
    EXPECT_EQ(view->lblConnectTo->stringValue(), "Connect to");
    EXPECT_EQ(statusIcon(), "StatusBarIconInactive");
    EXPECT_GT(environment.defaults->integer("disconnectedTime"), 0);
    environment.time.advance(3s);
    EXPECT_EQ(environment.defaults->integer("duration"), 5) << "the timer stopped";
}

TEST_F(ConnectViewTest, TheIkev2StartSavesTheNineSettingsAndReportsFailuresOnStandardOutput) {
    UserSettings::setUsername("user@corvantis.test");
    view->startIkev2Connection();
    environment.runMainQueue();
    const auto manager = platform::network::VPNManager::sharedManager();
    ASSERT_TRUE(manager->storedConfiguration());
    platform::network::VPNProtocolIKEv2 expected;
    expected.remoteIdentifier = chosenHost;
    expected.localIdentifier = "user@corvantis.test";
    expected.authenticationMethod = platform::network::IKEv2AuthenticationMethod::none;
    expected.deadPeerDetectionRate = platform::network::IKEv2DeadPeerDetectionRate::high;
    expected.serverAddress = chosenHost;
    expected.username = "user@corvantis.test";
    expected.useExtendedAuthentication = true;
    expected.disconnectOnSleep = false;
    EXPECT_EQ(*manager->storedConfiguration(), expected);
    EXPECT_TRUE(manager->isEnabled());
    EXPECT_EQ(manager->status(), platform::network::VPNStatus::connecting);

    for (const auto step : {platform::network::VPNStep::loadFromPreferences, platform::network::VPNStep::saveToPreferences,
                            platform::network::VPNStep::startTunnel}) {
        manager->faults.fail(step);
        ::testing::internal::CaptureStdout();
        view->startIkev2Connection();
        environment.runMainQueue();
        const auto printed = ::testing::internal::GetCapturedStdout();
        manager->faults.heal(step);
        EXPECT_EQ(printed.starts_with("error: "), step != platform::network::VPNStep::startTunnel) << printed;
        EXPECT_NE(printed.find("could not be"), std::string::npos) << printed;
    }
}

TEST_F(ConnectViewTest, TheIkev2StartGoesToTheHelperAndTheManagersStatusFollowsItsAnswer) {
    using platform::network::VPNStatus;
    const auto manager = platform::network::VPNManager::sharedManager();
    manager->setTunnelProvider(std::make_shared<corvantis::HelperIKEv2Tunnel>(helper));
    UserSettings::setUsername("alice");
    UserSettings::setVpnPassword("secret-pass");
    const std::string ikev2 = "connectToIKEv2ServerWithSettings:andPassword:withReply:";
    const auto start = [&] {
        environment.helper->clear();
        view->startIkev2Connection();
        environment.runMainQueue();
    };
    const auto answer = [&](corvantis::helper::IKEv2TunnelResult result) {
        environment.helper->answer(0, nlohmann::json{{"reply", static_cast<int>(result)}});
        environment.runMainQueue();
    };

    start();
    ASSERT_EQ(environment.helper->selectors(), std::vector<std::string>{ikev2});
    const auto call = environment.helper->calls().at(0).call;
    EXPECT_EQ(call.arguments.at(0).at("serverAddress"), chosenHost);
    EXPECT_EQ(call.arguments.at(0).at("username"), "alice");
    EXPECT_EQ(call.arguments.at(1), "secret-pass");
    EXPECT_EQ(manager->status(), VPNStatus::connecting);
    answer(corvantis::helper::IKEv2TunnelResult::connected);
    EXPECT_EQ(manager->status(), VPNStatus::connected);

    start();
    answer(corvantis::helper::IKEv2TunnelResult::failed);
    EXPECT_EQ(manager->status(), VPNStatus::disconnected);

    // No strongSwan on the helper's machine: the model as before, connecting and nothing more.
    start();
    answer(corvantis::helper::IKEv2TunnelResult::unavailable);
    EXPECT_EQ(manager->status(), VPNStatus::connecting);

    // Stopped before the answer: the helper is told, and the late answer changes nothing.
    start();
    manager->stopVPNTunnel();
    environment.runMainQueue();
    EXPECT_EQ(environment.helper->selectors(), (std::vector<std::string>{ikev2, "disconnectIKEv2"}));
    answer(corvantis::helper::IKEv2TunnelResult::connected);
    EXPECT_EQ(manager->status(), VPNStatus::disconnected);

    // No password stored: nothing goes to the helper, the start fails.
    UserSettings::setVpnPassword("");
    start();
    EXPECT_TRUE(environment.helper->selectors().empty());
    EXPECT_EQ(manager->status(), VPNStatus::disconnected);
}

TEST_F(ConnectViewTest, ShowFadesInHideIsImmediateAndTheLocationPillFitsItsName) {
    view->hide();
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->btnConnect->alphaValue(), 0);
    view->show();
    EXPECT_FALSE(view->isHidden());
    EXPECT_EQ(view->alphaValue(), 1);
    EXPECT_EQ(view->lblLocation->stringValue(), std::string("NL - ") + chosenHost);
    EXPECT_GT(view->animationView->playCount(), 0);
    EXPECT_EQ(view->connectionState, ConnectionState::disconnected);

    const double originY = *view->locationButtonOriginY;
    view->btnLocation->setFrameOrigin({0, originY + 30});
    view->alignLocationLabel();
    EXPECT_EQ(*view->locationButtonOriginY, originY) << "recorded once";
    const auto label = view->lblLocation->frame();
    const auto button = view->btnLocation->frame();
    EXPECT_EQ(button.width(), label.width() + 49);
    EXPECT_EQ(view->imgLocationArrow->frame().minX(), label.maxX());
    EXPECT_DOUBLE_EQ(button.midX(), 150);
}

}  // namespace
