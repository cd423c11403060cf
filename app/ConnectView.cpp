#include "app/ConnectView.hpp"

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"
#include "app/AppDelegate.hpp"
#include "app/FontHelper.hpp"
#include "app/IPAPI.hpp"
#include "app/Ipify.hpp"
#include "app/Keychain.hpp"
#include "app/MainWindow.hpp"
#include "app/OpenVPNConnection.hpp"
#include "app/Reachability.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/TextMeasurer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace std::chrono_literals;

namespace corvantis {

namespace {

// Any well-known public web host: only changes of the way out matter, the name is not resolved.
constexpr const char* reachabilityHost = "www.apple.com";
constexpr const char* l2tpSharedSecret = "velmortan";
constexpr const char* vpnPasswordId = "com.corvantis.password";
constexpr const char* disconnectedTimeKey = "disconnectedTime";
constexpr const char* durationKey = "duration";
constexpr const char* connectOnStartKey = "connectOnStart";
constexpr std::int64_t reconnectGuardMilliseconds = 2000;

void breadcrumb(std::string category) {
    platform::crashreporting::CrashReporter::current()->addBreadcrumb(
        {platform::crashreporting::Level::info, std::move(category)});
}

std::shared_ptr<platform::foundation::UserDefaults> defaults() {
    return platform::foundation::UserDefaults::standard();
}

// IKEv2 failures go to standard output, as the platform's own samples print them.
void printLine(const std::string& text) {
    platform::foundation::consolePrint(text);
}

void sendToHelper(const helper::RootCommand& command) {
    if (const auto helper = HelperService::shared()) helper->runCommand(helper::commandLine(command), {});
}

void restoreDefaultRoute() {
    if (const auto delegate = AppDelegate::shared()) delegate->restoreDefaultRoute();
}

void removeDefaultRoute() {
    if (const auto delegate = AppDelegate::shared()) delegate->removeDefaultRoute([](bool) {});
}

// The default route after a cancel or a disconnect click: kept away while the Shield is in force.
void routesPerShield() {
    if (AppDelegate::isShieldInForce()) {
        removeDefaultRoute();
    } else {
        restoreDefaultRoute();
    }
}

std::shared_ptr<platform::ui::Image> image(const char* name) {
    return platform::ui::Image::named(name);
}

}  // namespace

std::int64_t millisecondsSince1970(platform::dispatch::WallTime date) {
    const double milliseconds = std::chrono::duration<double, std::milli>(date.time_since_epoch()).count();
    return static_cast<std::int64_t>(std::round(milliseconds));
}

ConnectView::ConnectView(platform::ui::Rect frame)
    : View(frame),
      disconnectedAnimationSceneModel(platform::animation::Composition::named("disconnected")),
      connectingAnimationSceneModel(platform::animation::Composition::named("connecting")),
      connectedAnimationSceneModel(platform::animation::Composition::named("connected")),
      manager(platform::network::VPNManager::sharedManager()),
      protocolIKEv2(std::make_shared<platform::network::VPNProtocolIKEv2>()) {
    // The view owns its handlers, so they may hold it by a plain pointer.
    setActionHandler("btnConnectClick:", [this](platform::ui::Object* sender) { btnConnectClick(sender); });
    setActionHandler("btnLocationClick:", [this](platform::ui::Object* sender) { btnLocationClick(sender); });
    setActionHandler("btnSettingsClick:", [this](platform::ui::Object* sender) { btnSettingsClick(sender); });
}

std::weak_ptr<ConnectView> ConnectView::weakSelf() {
    return std::static_pointer_cast<ConnectView>(sharedView());
}

void ConnectView::info(const std::string& message, std::string_view function, std::source_location where) const {
    if (const auto delegate = AppDelegate::shared()) {
        delegate->logger->info([&] { return message; }, {}, prq::CallSite(function, where.file_name(), where.line()));
    }
}

void ConnectView::error(const std::string& message, std::string_view function, std::source_location where) const {
    if (const auto delegate = AppDelegate::shared()) {
        delegate->logger->error([&] { return message; }, {}, prq::CallSite(function, where.file_name(), where.line()));
    }
}

// ---- The screen

void ConnectView::viewDidMoveToSuperview() {
    commonInit();
}

void ConnectView::commonInit() {
    const auto reachability = Reachability::reachabilityWithHostname(reachabilityHost);
    if (reachability) reachability->reachableOnWWAN = false;
    platform::foundation::NotificationCenter::defaultCenter()->addObserver(
        kReachabilityChangedNotification, nullptr, nullptr, [view = weakSelf()](const platform::foundation::Notification&) {
            if (const auto self = view.lock()) self->checkConnectionState();
        });
    if (reachability) reachability->startNotifier();

    animationView = platform::animation::AnimationView::named("disconnected");
    if (animationView) {
        animationView->setContentMode(platform::animation::ContentMode::center);
        animationView->setFrame(bounds());
        animationView->setAutoresizingMask(platform::ui::AutoresizingMask::widthSizable |
                                           platform::ui::AutoresizingMask::heightSizable);
        if (auto* layer = animationView->layer()) layer->zPosition = -1.0;
        animationView->setLoopAnimation(true);
        animationView->setAlphaValue(0);
    }
    // A view made without its scene (a test's stand-in) has no outlets to set up.
    if (!btnConnect || !viewContainer) return;
    btnConnect->setWantsLayer(true);
    btnConnect->setAlphaValue(0);
    if (animationView) {
        viewContainer->addSubview(animationView);
        animationView->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    if (connectionState != ConnectionState::connected && defaults()->boolValue(connectOnStartKey)) btnConnect->performClick(this);
}

void ConnectView::show() {
    MainWindow::shared().changeShowedLocation();
    setHidden(false);
    platform::ui::AnimationContext::runAnimationGroup(0.7, [this] {
        animator().setAlphaValue(1.0);
        if (animationView) animationView->animator().setAlphaValue(1.0);
        btnConnect->animator().setAlphaValue(1.0);
    });
    playAnimation();
    render();
    const auto chosen = UserSettings::hostname();
    const bool connectedElsewhere = connectionState == ConnectionState::connected && chosen != connectedHostname;
    // A city chosen while connecting: the tunnel on its way goes to the old server.
    const bool connectingElsewhere =
        connectionState == ConnectionState::connecting && attempt_.tunnelStarted() && chosen != attempt_.tunnelHost();
    if (connectingElsewhere) connectedHostname = attempt_.tunnelHost();  // so the ending draws the reconnect look
    if (connectedElsewhere || connectingElsewhere) reconnectToChosenServer();
}

void ConnectView::reconnectToChosenServer() {
    disconnect();
    // A click or another disconnect before then means the user wants no reconnect.
    const auto attempt = attempt_.number();
    platform::dispatch::DispatchQueue::main()->asyncAfter(3s,
                                                          [self = std::static_pointer_cast<ConnectView>(sharedView()), attempt] {
                                                              if (self->attempt_.number() != attempt) return;
                                                              self->connectionState = ConnectionState::disconnected;
                                                              self->btnConnect->performClick(self.get());
                                                          });
}

void ConnectView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
    if (animationView) {
        animationView->setAlphaValue(0.0);
        // Nobody sees the pulse now; showing the screen plays it again.
        animationView->stop();
    }
    if (btnConnect) btnConnect->setAlphaValue(0.0);
}

void ConnectView::playAnimation() {
    if (animationView) animationView->play();
}

void ConnectView::alignLocationLabel() {
    platform::ui::TextAttributes attributes;
    attributes.font = montserratMediumFont(12);
    const double width = platform::ui::TextMeasurer::sizeOf(lblLocation->stringValue(), attributes).width;
    auto label = lblLocation->frame();
    label.size.width = width + 4;
    lblLocation->setFrame(label);
    auto button = btnLocation->frame();
    button.size.width = label.width() + 27 + 22;
    btnLocation->setFrame(button);
    auto arrow = imgLocationArrow->frame();
    arrow.origin.x = label.maxX();
    imgLocationArrow->setFrame(arrow);
    button.origin.x = frame().width() / 2 - button.width() / 2;
    btnLocation->setFrame(button);
    if (!locationButtonOriginY) locationButtonOriginY = btnLocation->animator().frame().origin.y;
}

void ConnectView::btnLocationClick(platform::ui::Object*) {
    MainWindow::shared().switchToView(corvantis::View::locationsView);
}

void ConnectView::btnSettingsClick(platform::ui::Object*) {
    MainWindow::shared().switchToView(corvantis::View::settingsView);
}

// ---- The connection

void ConnectView::btnConnectClick(platform::ui::Object*) {
    connectingTime = platform::foundation::DateFormatter("yyyy-MM-dd h:mm:ss").string(platform::Services::current().wallNow());
    breadcrumb("btnConnectClick(_ :)");
    switch (connectionState) {
        case ConnectionState::disconnected: {
            beginAttempt();
            const auto attempt = attempt_.number();
            showConnectingButton();
            // The checks end the attempt also when its start waits for something that never comes.
            timeoutValue = 1;
            scheduleCheck(2s);
            if (internetActive) {
                const auto last = defaults()->integer(disconnectedTimeKey);
                if (last != 0 &&
                    millisecondsSince1970(platform::Services::current().wallNow()) - last < reconnectGuardMilliseconds) {
                    info("Finishing previous connection", "btnConnectClick(_:)");
                    platform::dispatch::DispatchQueue::main()->asyncAfter(2s, [view = weakSelf(), attempt] {
                        if (const auto self = view.lock()) self->startConnectionUnlessCancelled(attempt);
                    });
                } else {
                    startConnection();
                }
            } else if (!UserSettings::isKillSwitchEnabled()) {
                probeInternet();
            } else {
                if (const auto delegate = AppDelegate::shared()) {
                    delegate->addSavedServerToRoute([view = weakSelf(), attempt](bool) {
                        if (const auto self = view.lock()) self->startConnectionUnlessCancelled(attempt);
                    });
                }
                routesPerShield();
            }
            break;
        }
        case ConnectionState::connecting:
            connectedHostname = UserSettings::hostname();
            routesPerShield();
            disconnect();
            btnConnect->setEnabled(true);
            break;
        case ConnectionState::connected:
            if (!AppDelegate::isShieldInForce()) restoreDefaultRoute();
            disconnect();
            break;
    }
}

void ConnectView::beginAttempt() {
    if (probe_) probe_->cancel();
    probe_.reset();
    attempt_.clicked(platform::Services::current().clock()->now());
    armDeadline();
}

void ConnectView::endAttempt() {
    if (probe_) probe_->cancel();
    probe_.reset();
    if (deadline_) deadline_->cancel();
    deadline_.reset();
    attempt_.ended();
}

void ConnectView::armDeadline() {
    if (deadline_) deadline_->cancel();
    const auto due = attempt_.deadline();
    if (!due) return;
    deadline_ = platform::dispatch::WorkItem::make([view = weakSelf(), attempt = attempt_.number()] {
        if (const auto self = view.lock()) self->deadlinePassed(attempt);
    });
    platform::dispatch::DispatchQueue::main()->asyncAfter(*due - platform::Services::current().clock()->now(), deadline_);
}

void ConnectView::deadlinePassed(ConnectionAttempt::Number attempt) {
    // However the checks fared (hanging lookups, reachability changes that replace every check
    // before it answers), the attempt ends here.
    if (attempt != attempt_.number() || connectionState != ConnectionState::connecting) return;
    info("Timeout: " + std::to_string(timeoutValue) + "/" + std::to_string(maximumChecks), "timedOut()");
    giveUp();
}

void ConnectView::startConnectionUnlessCancelled(ConnectionAttempt::Number attempt) {
    if (attempt == attempt_.number()) startConnection();
}

void ConnectView::probeInternet() {
    const auto attempt = attempt_.number();
    probe_ = startLookup([view = weakSelf(), attempt](platform::dispatch::WorkItemPtr) {
        Ipify::getPublicIPAddress([view, attempt](platform::foundation::Expected<std::string> result) {
            platform::dispatch::DispatchQueue::main()->async([view, attempt, found = result.hasValue()] {
                const auto self = view.lock();
                // Whatever checked the address meanwhile, the click stands until the user ends it.
                if (!self || self->attempt_.number() != attempt) return;
                self->probe_.reset();
                if (found) return self->startConnection();
                if (self->nextCheck_) self->nextCheck_->cancel();
                if (const auto delegate = AppDelegate::shared()) {
                    delegate->alert("Corvantis",
                                    "You are not connected to the Internet. Please, check your connection and try again", "Ok",
                                    std::nullopt, [](bool) {});
                }
                self->showDisconnectedButton();
            });
        });
    });
}

bool ConnectView::isCurrentLookup(const platform::dispatch::WorkItemPtr& item) const {
    return item == workItem && !item->isCancelled();
}

platform::dispatch::WorkItemPtr ConnectView::startLookup(std::function<void(platform::dispatch::WorkItemPtr)> lookup) {
    if (workItem && workItem != probe_) workItem->cancel();
    // The block hands its own item on, so that its answer can tell later whether it still counts.
    auto slot = std::make_shared<std::weak_ptr<platform::dispatch::WorkItem>>();
    auto item = platform::dispatch::WorkItem::make([lookup = std::move(lookup), slot] {
        if (const auto self = slot->lock()) lookup(self);
    });
    *slot = item;
    workItem = item;
    platform::dispatch::DispatchQueue::global()->async(item);
    return item;
}

void ConnectView::scheduleCheck(platform::dispatch::Duration delay) {
    if (nextCheck_) nextCheck_->cancel();
    nextCheck_ = platform::dispatch::WorkItem::make([view = weakSelf()] {
        if (const auto self = view.lock()) self->checkConnectionState();
    });
    platform::dispatch::DispatchQueue::main()->asyncAfter(delay, nextCheck_);
}

void ConnectView::checkConnectionState() {
    info("Getting public ip...", "checkConnectionState()");
    // This check takes the place of the cycle's step that was due: its own answer says what follows.
    if (nextCheck_) nextCheck_->cancel();
    startLookup([view = weakSelf()](platform::dispatch::WorkItemPtr item) {
        Ipify::getPublicIPAddress([view, item](platform::foundation::Expected<std::string> address) {
            const auto self = view.lock();
            if (!self) return;
            if (address) return self->connectionChanged(address.value(), item);
            self->info("Retrying ip...", "checkConnectionState()");
            self->internetActive = false;
            IPAPI::Service::defaultService().fetch(
                std::nullopt, {IPAPI::Result::Key::ipAddress}, IPAPI::Service::defaultLanguage,
                [view, item](std::optional<IPAPI::Result> result, std::optional<platform::foundation::Error>) {
                    const auto self = view.lock();
                    if (!self) return;
                    if (result) return self->connectionChanged(result->ipAddress, item);
                    platform::dispatch::DispatchQueue::main()->async([view, item] {
                        const auto self = view.lock();
                        if (self && self->isCurrentLookup(item)) self->handleLookupFailure();
                    });
                });
        });
    });
}

void ConnectView::handleLookupFailure() {
    info("Error getting public IP", "checkConnectionState()");
    internetActive = false;
    switch (connectionState) {
        case ConnectionState::connected:
            info("Connection dropped", "checkConnectionState()");
            disconnect();
            break;
        case ConnectionState::connecting:
            if (timedOut()) {
                disconnect();
            } else {
                scheduleCheck(1s);
            }
            break;
        case ConnectionState::disconnected:
            if (const auto delegate = AppDelegate::shared()) delegate->runDownScript();
            break;
    }
}

void ConnectView::connectionChanged(const std::optional<std::string>& ip) {
    connectionChanged(ip, nullptr);
}

void ConnectView::connectionChanged(const std::optional<std::string>& ip, const platform::dispatch::WorkItemPtr& item) {
    internetActive = true;
    platform::dispatch::DispatchQueue::main()->async([view = weakSelf(), ip, item] {
        const auto self = view.lock();
        if (!self || (item && !self->isCurrentLookup(item))) return;
        self->addressArrived(ip);
    });
}

void ConnectView::addressArrived(const std::optional<std::string>& ip) {
    info(ip.value_or("nil"), "connectionChanged(ip:)");
    const auto delegate = AppDelegate::shared();
    if (!delegate || !delegate->allCities) {
        breadcrumb("citiesList is nil");
        disconnect();
        return;
    }
    const bool matches = std::ranges::any_of(*delegate->allCities, [&](const auto& city) { return city->address == ip; });
    if (matches) {
        if (attempt_.addressMatched()) {
            info("Connection state: connected", "connectionChanged(ip:)");
            if (deadline_) deadline_->cancel();
            // The address can confirm the tunnel before the helper reports it up.
            render();
        }
        return;
    }
    switch (connectionState) {
        case ConnectionState::connected:
            info("Connection dropped", "connectionChanged(ip:)");
            disconnect();
            break;
        case ConnectionState::connecting:
            info("IP doesn't match server's address. Retrying...", "connectionChanged(ip:)");
            if (timedOut()) {
                disconnect();
            } else {
                scheduleCheck(2s);
            }
            break;
        case ConnectionState::disconnected: btnConnect->setEnabled(true); break;
    }
}

bool ConnectView::timedOut() {
    info("Timeout: " + std::to_string(timeoutValue) + "/" + std::to_string(maximumChecks), "timedOut()");
    if (timeoutValue < maximumChecks) {
        ++timeoutValue;
        return false;
    }
    giveUp();
    return true;
}

void ConnectView::giveUp() {
    if (const auto delegate = AppDelegate::shared()) {
        delegate->alert("Corvantis", "Connection timeout. Please, try again or contact Corvantis support", "OK", std::nullopt,
                        [](bool) {});
    }
    const auto server = UserSettings::hostname().value_or("");
    const char* port = UserSettings::savedOpenVPNPort() == OpenVPNPort::TCP ? "TCP" : "UDP";
    const auto started = connectingTime.value_or("");
    platform::crashreporting::CrashReporter::current()->captureMessage("Connection timeout",
                                                                       [&](platform::crashreporting::Scope& scope) {
                                                                           scope.setExtra(server, "server_address");
                                                                           scope.setExtra(port, "port");
                                                                           scope.setExtra(started, "connect_started");
                                                                       });
    connectedHostname = UserSettings::hostname();
    connectionState = ConnectionState::connecting;
    disconnect();
    timeoutValue = 1;
    btnConnect->setEnabled(true);
}

void ConnectView::startConnection() {
    info("Starting new connection", "startConnection()");
    if (durationTimer) durationTimer->invalidate();
    timeoutValue = 1;
    attempt_.tunnelStarting(UserSettings::hostname(), platform::Services::current().clock()->now());
    armDeadline();
    // Checks confirm the tunnel or give the attempt up: reachability changes alone may never come.
    scheduleCheck(2s);
    const auto attempt = attempt_.number();
    const auto helper = HelperService::shared();
    switch (UserSettings::savedProtocol()) {
        case Protocol::L2TP:
            if (!helper) break;
            helper->connectToL2TPServerWithAddress(
                UserSettings::hostname(), UserSettings::username(), UserSettings::vpnPassword(), std::string(l2tpSharedSecret),
                [view = weakSelf(), attempt](int code) {
                    if (const auto self = view.lock()) {
                        self->tunnelAnswered(attempt, code == -1, std::nullopt, "L2TP connection error: " + std::to_string(code));
                    }
                });
            return;
        case Protocol::OpenVPN:
            if (!helper) break;
            OpenVPNConnection().connectUsingServerAddress(
                UserSettings::hostname(), UserSettings::username(), UserSettings::vpnPassword(),
                [view = weakSelf(), attempt](bool connected) {
                    const auto self = view.lock();
                    if (!self || self->attempt_.number() != attempt) return;
                    self->connectedHostname = UserSettings::hostname();
                    // The helper client set the delegate's tunnel gateway from this very reply just
                    // before; from here on it is this attempt's.
                    const auto delegate = AppDelegate::shared();
                    self->tunnelAnswered(attempt, connected, delegate ? delegate->openVpnGateway : std::nullopt,
                                         "OpenVPN connection error");
                });
            return;
        case Protocol::IKEv2: startIkev2Connection(); return;
    }
    // Only a helper can run a tunnel; without one the attempt ends here rather than by time-out.
    error("The helper is not installed", "startConnection()");
    disconnect();
}

void ConnectView::tunnelAnswered(ConnectionAttempt::Number attempt, bool up, std::optional<std::string> gateway,
                                 const std::string& failure) {
    // The user ended that attempt: its tunnel is being taken down, and a newer attempt is not its.
    if (!attempt_.tunnelAnswered(attempt, up, std::move(gateway))) return;
    if (!up) {
        error(failure, "startConnection()");
        disconnect();
        return;
    }
    if (attempt_.connectedDisplayShown()) addTunnelRoute();  // the address check did the rest
    render();
}

void ConnectView::startIkev2Connection() {
    using platform::network::IKEv2AuthenticationMethod;
    using platform::network::IKEv2DeadPeerDetectionRate;
    protocolIKEv2->remoteIdentifier = UserSettings::hostname();
    protocolIKEv2->localIdentifier = UserSettings::username();
    protocolIKEv2->authenticationMethod = IKEv2AuthenticationMethod::none;
    protocolIKEv2->deadPeerDetectionRate = IKEv2DeadPeerDetectionRate::high;
    protocolIKEv2->passwordReference = Keychain::passwordForVPNID(vpnPasswordId);
    protocolIKEv2->serverAddress = UserSettings::hostname();
    protocolIKEv2->username = UserSettings::username();
    protocolIKEv2->useExtendedAuthentication = true;
    protocolIKEv2->disconnectOnSleep = false;
    manager->loadFromPreferences(
        [manager = manager, configuration = protocolIKEv2](std::optional<platform::foundation::DomainError> loadError) {
            if (loadError) return printLine("error: " + loadError->localizedDescription);
            manager->setProtocolConfiguration(std::make_shared<const platform::network::VPNProtocolIKEv2>(*configuration));
            manager->setEnabled(true);
            manager->saveToPreferences([manager](std::optional<platform::foundation::DomainError> saveError) {
                if (saveError) return printLine("error: " + saveError->localizedDescription);
                if (const auto startError = manager->startVPNTunnel()) printLine(startError->localizedDescription);
            });
        });
}

void ConnectView::disconnect() {
    breadcrumb("disconnect()");
    info("Disconnecting", "disconnect()");
    endAttempt();
    // The ended attempt's checks must not count for the next one.
    if (nextCheck_) nextCheck_->cancel();
    if (connectionState == ConnectionState::disconnected) return;
    if (workItem) workItem->cancel();
    const auto delegate = AppDelegate::shared();
    if (delegate && delegate->openVpnGateway) {
        if (const auto tunnelGateway = helper::Ipv4Address::parse(*delegate->openVpnGateway)) {
            sendToHelper(helper::DeleteTunnelRoute{*tunnelGateway});
        }
    }
    if (const auto helper = HelperService::shared()) helper->terminateAllVpnConnections();
    if (delegate) delegate->runDownScript();
    lblDuration->setHidden(true);
    if (durationTimer) durationTimer->invalidate();
    lblDuration->setStringValue("00:00:00");
    if (UserSettings::hostname() == connectedHostname) {
        showDisconnectedButton();
    } else {
        showConnectingButton();
    }
}

// ---- The displays

void ConnectView::moveLocationButtonBack() {
    if (!locationButtonOriginY) return;
    auto frame = btnLocation->frame();
    frame.origin.y = *locationButtonOriginY;
    btnLocation->animator().setFrame(frame);
}

void ConnectView::showAnimation(const std::shared_ptr<const platform::animation::Composition>& scene) {
    if (!animationView) return;
    animationView->setSceneModel(scene);
    animationView->setLoopAnimation(true);
    animationView->play([](bool) {});
}

void ConnectView::showDisconnectedButton() {
    breadcrumb("showDisconnectedButton()");
    if (const auto stored = defaults()->set(millisecondsSince1970(platform::Services::current().wallNow()), disconnectedTimeKey);
        !stored) {
        error("The disconnect time could not be saved: " + stored.error().message, "showDisconnectedButton()");
    }
    moveLocationButtonBack();
    connectionState = ConnectionState::disconnected;
    btnConnect->setImage(image("ConnectButtonOff"));
    btnConnect->setAlternateImage(image("ConnectButtonOffPressed"));
    lblConnectTo->setStringValue("Connect to");
    MainWindow::shared().setStatusBarIcon(false);
    showAnimation(disconnectedAnimationSceneModel);
    lblDuration->setAlphaValue(0);
    lblDuration->setHidden(true);
    lblConnectTo->setHidden(false);
}

void ConnectView::showConnectingButton() {
    breadcrumb("showConnectingButton()");
    moveLocationButtonBack();
    lblConnectTo->setStringValue("Connecting");
    connectionState = ConnectionState::connecting;
    btnConnect->setImage(image("ConnectButtonOff"));
    btnConnect->setAlternateImage(image("ConnectButtonOffPressed"));
    MainWindow::shared().setStatusBarIcon(false);
    showAnimation(connectingAnimationSceneModel);
    lblDuration->setAlphaValue(0);
    lblDuration->setHidden(true);
    lblConnectTo->setHidden(false);
}

void ConnectView::addTunnelRoute() const {
    const auto& named = attempt_.gateway();
    const auto tunnelGateway = named ? helper::Ipv4Address::parse(*named) : std::nullopt;
    if (UserSettings::savedProtocol() == Protocol::OpenVPN && tunnelGateway) {
        sendToHelper(helper::AddTunnelRoute{*tunnelGateway});
    }
}

void ConnectView::render() {
    switch (attempt_.look()) {
        case ConnectionLook::disconnected: showDisconnectedButton(); break;
        case ConnectionLook::connecting: showConnectingButton(); break;
        case ConnectionLook::connected:
            // The first time for a tunnel of this attempt, the display's work is done too. A state
            // set with no tunnel of this attempt behind it leaves the display as it was.
            if (attempt_.connectedDisplayShown()) {
                drawConnectedLook();
            } else if (attempt_.tunnelStarted()) {
                runConnectedDisplay();
            }
            break;
    }
}

void ConnectView::showConnectedButton() {
    if (connectionState == ConnectionState::connected) return;
    runConnectedDisplay();
}

void ConnectView::runConnectedDisplay() {
    // Once per attempt, whichever of the helper's report and the address check comes first.
    if (attempt_.connectedDisplayShown()) return;
    attempt_.connectedDisplayDone();
    breadcrumb("showConnectedButton()");
    connectedHostname = UserSettings::hostname();
    sendToHelper(helper::FlushDnsCache{});
    // Before the helper reported this tunnel no gateway of it is known.
    if (attempt_.tunnelReported()) addTunnelRoute();
    if (UserSettings::isKillSwitchEnabled()) removeDefaultRoute();
    if (const auto stored = defaults()->set(0, durationKey); !stored) {
        error("The duration could not be saved: " + stored.error().message, "showConnectedButton()");
    }
    // One timer at a time: a second one would count every second twice.
    if (durationTimer) durationTimer->invalidate();
    durationTimer = platform::dispatch::Timer::scheduledTimer(1s, true, [view = weakSelf()](platform::dispatch::Timer&) {
        if (const auto self = view.lock()) self->durationChange();
    });
    drawConnectedLook();
}

void ConnectView::drawConnectedLook() {
    lblDuration->setHidden(false);
    lblConnectTo->setHidden(true);
    platform::ui::AnimationContext::runAnimationGroup(1.0, [this] {
        // Raised from its resting place, so that drawing the look again does not raise it further.
        auto frame = btnLocation->frame();
        frame.origin.y = locationButtonOriginY.value_or(frame.origin.y) + 12;
        btnLocation->animator().setFrame(frame);
    });
    platform::ui::AnimationContext::runAnimationGroup(3.0, [this] { lblDuration->animator().setAlphaValue(1.0); });
    btnConnect->setImage(image("ConnectButtonOn"));
    btnConnect->setAlternateImage(image("ConnectButtonOnPressed"));
    lblConnectTo->setStringValue("Connect to");
    MainWindow::shared().setStatusBarIcon(true);
    showAnimation(connectedAnimationSceneModel);
}

void ConnectView::durationChange() {
    const auto seconds = defaults()->integer(durationKey);
    lblDuration->setStringValue(timeFormatted(seconds));
    if (const auto stored = defaults()->set(seconds + 1, durationKey); !stored) {
        error("The duration could not be saved: " + stored.error().message, "durationChange()");
    }
}

std::string ConnectView::timeFormatted(long long seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

}  // namespace corvantis
