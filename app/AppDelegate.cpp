#include "app/AppDelegate.hpp"

#include "HelperService/CorvantisHelperController/HelperIKEv2Tunnel.hpp"
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/CrashReportMasking.hpp"
#include "app/MainWindow.hpp"
#include "app/ProductConstants.hpp"
#include "app/ScreenColors.hpp"
#include "app/UserSettings.hpp"
#include "app/WebPages.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/crashreporting/HttpEventSink.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FreedMemory.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/foundation/UnicodeNormalization.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/network/VPNManager.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string_view>
#include <unistd.h>

using namespace std::chrono_literals;

namespace corvantis {

namespace {
constexpr const char* gatewayKey = "gateway";

constexpr const char* greeting = "Hello Corvantis MacOS";
// The bundle's crash-reporting DSN; CORVANTIS_CRASH_DSN, when set, replaces it (empty: off).
constexpr const char* dsnInfoKey = "SentryDSN";
constexpr const char* dsnEnvironment = "CORVANTIS_CRASH_DSN";
constexpr const char* mainScenes[] = {"loginViewController", "connectViewController", "settingsViewController",
                                      "locationsViewController"};

std::shared_ptr<AppDelegate>& holder() {
    static std::shared_ptr<AppDelegate> delegate;
    return delegate;
}

// A group without a country name (a code the locale does not know) is named by its code.
// "first - second", built in one allocation: the list makes two of these for every city.
std::string joined(std::string_view first, std::string_view second) {
    std::string text;
    text.reserve(first.size() + 3 + second.size());
    text.append(first).append(" - ").append(second);
    return text;  // returning the reference `append` gives would copy the text
}

std::string_view textOr(const std::optional<std::string>& text, std::string_view otherwise) {
    return text ? std::string_view(*text) : otherwise;
}

// Makes a group's city record the listed one in place: every field is set, the address, domain
// and ports kept, the rest taken from the group and the user defaults or cleared.
void makeListed(City& city, const Server& server, const platform::foundation::UserDefaults& defaults) {
    const auto code = textOr(server.countryCode, "");
    const auto cityName = textOr(city.name, "");
    city.shortName = joined(code, cityName);
    city.name = joined(textOr(server.country, code), cityName);
    city.countryCode = server.countryCode;
    city.serverload = 0;
    city.status.reset();
    city.isRecommended = false;
    city.isFavourite = city.domain && defaults.string(*city.domain).has_value();
}

// Cities in order of name as text without locale: Unicode scalar values after canonical
// composition, upper case before lower case. Stable, so sorting once at the end orders the list
// as sorting after every append would.
class CitiesByName {
public:
    explicit CitiesByName(std::size_t count) {
        cities_.reserve(count);
        keys_.reserve(count);
    }

    // Takes the city's key while its record is at hand: a pass of its own over thousands of
    // records would fetch every one from memory again.
    void add(std::shared_ptr<City> city) {
        const std::string_view name = *city->name;  // every listed city has one
        const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) composed_.push_back(platform::foundation::precomposedStringWithCanonicalMapping(name));
        const auto key = ascii ? name : std::string_view(composed_.back());
        keys_.push_back({{leadingBytes(key), key}, cities_.size()});
        cities_.push_back(std::move(city));
    }

    std::vector<std::shared_ptr<City>> sorted() && {
        // In valid UTF-8 the byte order is the order of the scalar values.
        std::ranges::stable_sort(keys_, std::less<>{}, &Key::order);
        std::vector<std::shared_ptr<City>> cities;
        cities.reserve(keys_.size());
        for (const auto& key : keys_) cities.push_back(std::move(cities_[key.city]));
        return cities;
    }

private:
    // The sort moves these rather than the cities' shared pointers.
    struct Key {
        // The name's first eight bytes as one number ahead of the name: this orders as the name
        // alone does, and settles most comparisons without comparing texts.
        std::pair<std::uint64_t, std::string_view> order;
        std::size_t city;
    };

    // Bytes past the end count as zero.
    static std::uint64_t leadingBytes(std::string_view name) {
        std::uint64_t bytes = 0;
        for (std::size_t index = 0; index < sizeof bytes; ++index) {
            bytes = bytes << 8 | (index < name.size() ? static_cast<unsigned char>(name[index]) : 0u);
        }
        return bytes;
    }

    std::vector<std::shared_ptr<City>> cities_;
    std::vector<Key> keys_;
    // Composed forms of the names that are not plain ASCII (a deque keeps the views valid).
    std::deque<std::string> composed_;
};

void breadcrumb(std::string text) {
    platform::crashreporting::CrashReporter::current()->addBreadcrumb({platform::crashreporting::Level::info, std::move(text)});
}

// The value when it can go into a command for root: an IPv4 address.
std::optional<helper::Ipv4Address> ipv4(const std::optional<std::string>& value) {
    return value ? helper::Ipv4Address::parse(*value) : std::nullopt;
}

// Sends a command whose reply nobody uses.
void send(const helper::RootCommand& command) {
    if (const auto helper = HelperService::shared()) helper->runCommand(helper::commandLine(command), {});
}

}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::shared() {
    return holder();
}

void AppDelegate::setShared(std::shared_ptr<AppDelegate> delegate) {
    holder() = std::move(delegate);
}

void AppDelegate::applicationDidFinishLaunching() {
    platform::foundation::consolePrint(greeting);
    startCrashReporting();
    openLogFile();
    appInit();
}

void AppDelegate::startCrashReporting() {
    using platform::crashreporting::CrashReporter;
    const auto bundle = platform::foundation::Bundle::main();
    std::string dsn;
    if (const char* overridden = std::getenv(dsnEnvironment)) {
        dsn = overridden;
    } else if (const auto& info = bundle->infoDictionary();
               info && info->contains(dsnInfoKey) && (*info)[dsnInfoKey].is_string()) {
        dsn = (*info)[dsnInfoKey].get<std::string>();
    }
    CrashReporter::Options options{.dsn = dsn, .debug = true, .beforeSend = maskCredentials};
    std::shared_ptr<platform::crashreporting::EventSink> sink;
    if (!dsn.empty()) {
        if (auto parsed = platform::crashreporting::Dsn::parse(dsn)) {
            std::string client = "corvantis-vpn";
            if (const auto& info = bundle->infoDictionary();
                info && info->value("CFBundleShortVersionString", nlohmann::json()).is_string()) {
                client += "/" + (*info)["CFBundleShortVersionString"].get<std::string>();
            }
            sink = std::make_shared<platform::crashreporting::HttpEventSink>(std::move(parsed.value()), client, options.debug,
                                                                             platform::Services::current().urlSession());
        } else {
            platform::foundation::consoleLog(parsed.error().message + "; crash reports stay off");
        }
    }
    CrashReporter::current()->start(std::move(options), std::move(sink));
}

void AppDelegate::openLogFile() {
    const auto reporter = platform::crashreporting::CrashReporter::current();
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        reporter->captureMessage("Logger init error: " + temporary.error().message);
        return;
    }
    const auto folder = temporary.value() / "CorvantisLogs";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        reporter->captureMessage("Logger init error: " + error.message());
        return;
    }
    const auto now = platform::Services::current().clock()->wallNow();
    const auto file = folder / ("CorvantisVPN_" + platform::foundation::DateFormatter("ddMMyyyyHHmm").string(now) + ".log");
    // Two runs in one minute share the name: the second appends after the append marker, so the
    // first run's lines stay. The file destination creates a missing file itself.
    logger->setup(prq::Level::debug, false, true, true, true, true, true, true, prq::FileTarget(file), prq::Level::debug, true);
    info(greeting, "applicationDidFinishLaunching(_:)");
}

void AppDelegate::appInit() {
    UserSettings::getDeviceId([delegate = weak_from_this()](bool, const std::string&, const std::string& deviceId) {
        if (const auto self = delegate.lock()) self->continueLaunch(deviceId);
    });
}

void AppDelegate::continueLaunch(const std::string& deviceId) {
    const auto reporter = platform::crashreporting::CrashReporter::current();
    reporter->setUser(platform::crashreporting::User{.userId = deviceId});
    try {
        installHelperTool();
    } catch (const platform::foundation::DomainError& error) {
        reporter->captureMessage("App initialization error. " + error.localizedDescription);
        stopLaunch(deviceId, "the helper cannot be installed: " + error.localizedDescription);
        return;
    }
    const auto storyboard = registerMainStoryboard();
    if (const auto missing = missingResources(storyboard); !missing.empty()) {
        reporter->captureMessage("App initialization error. Missing " + missing);
        stopLaunch(deviceId, "missing " + missing);
        return;
    }
    const auto helperClient = HelperService::shared();
    helperClient->terminateAllVpnConnections();
    runDownScript();
    helperClient->toggleIpv6(true, {});
    auto& mainWindow = MainWindow::shared();
    mainWindow.setup(storyboard);
    // The next open is allowed, and losing key status does not close the popup before it is done.
    if (const auto& popup = mainWindow.popupController) {
        popup->statusItemClicked = true;
        popup->isOpening = true;
    }
    info("The main window is set up", "appInit()");
}

bool AppDelegate::internetActive() const {
    const auto& connectView = MainWindow::shared().connectView;
    const bool active = !connectView || connectView->internetActive.load();
    breadcrumb(std::string("get internetActive = ") + (active ? "true" : "false"));
    return active;
}

void AppDelegate::showMainWindow() {
    auto& mainWindow = MainWindow::shared();
    if (const auto& popup = mainWindow.popupController) popup->statusItemClicked = true;
    mainWindow.show();
}

std::string AppDelegate::missingResources(const std::shared_ptr<platform::ui::Storyboard>& storyboard) const {
    std::string missing;
    const auto add = [&missing](const std::string& what) { missing += (missing.empty() ? "" : ", ") + what; };
    for (const char* scene : mainScenes) {
        if (!storyboard || !storyboard->instantiateController(scene))
            add("the scene \"" + std::string(scene) + "\" of the storyboard \"Main\"");
    }
    if (!platform::foundation::Bundle::main()->pathForResource("down", "sh")) add("the resource \"down.sh\"");
    return missing;
}

void AppDelegate::stopLaunch(const std::string& deviceId, const std::string& reason) const {
    const auto where = std::source_location::current();
    logger->error([&] { return "Start-up stops: " + reason; }, {}, prq::CallSite("appInit()", where.file_name(), where.line()));
    // Standard error holds it also when no log file could be made.
    platform::foundation::consoleLog("Start-up stops: " + reason +
                                     ". The program keeps running without icon or window; end it with Ctrl-C or \"kill " +
                                     std::to_string(::getpid()) + "\".");
    showLaunchFailure(deviceId, reason);
}

void AppDelegate::showLaunchFailure(const std::string& deviceId, const std::string& reason) const {
    // Before the screens exist: the alert still writes in their face.
    platform::ui::Appearance::setCurrent(screenAppearance());
    const auto failure = std::make_shared<platform::ui::Alert>();
    failure->setMessageText("Looks like Corvantis crashed");
    // The reason follows the request to contact support, so that a user can act on it first.
    std::string because = reason;
    if (!because.empty()) because.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(because.front())));
    failure->setInformativeText("Please, contact support to investigate the issue. UserID: " + deviceId + "\n\n" + because + ".");
    failure->setAlertStyle(platform::ui::AlertStyle::warning);
    failure->addButton("Support");
    failure->addButton("Close");
    if (failure->runModal() == platform::ui::ModalResponse::alertFirstButtonReturn) WebPages::open(product::supportSite());
}

void AppDelegate::installHelperTool() {
    auto controller = std::make_shared<CorvantisHelperController>();
    HelperService::setShared(controller);
    platform::foundation::DomainError error;
    if (controller->installPrivilegedHelperTool(&error)) {
        helper = HelperService::shared();
        helperJustInstalled = true;
        // The VPN manager's IKEv2 tunnels run in the helper from now on.
        platform::network::VPNManager::sharedManager()->setTunnelProvider(std::make_shared<HelperIKEv2Tunnel>(controller));
        return;
    }
    if (!error.localizedFailureReason.empty()) error.localizedDescription += " (" + error.localizedFailureReason + ")";
    platform::crashreporting::CrashReporter::current()->captureMessage("Helper Tool install error. " +
                                                                       error.localizedDescription);
    throw error;
}

ConnectionState AppDelegate::connectionState() const {
    // Before the screens exist no tunnel can have been started.
    const auto& connectView = MainWindow::shared().connectView;
    const auto state = connectView ? connectView->connectionState : ConnectionState::disconnected;
    breadcrumb("get connectionState = " + std::to_string(static_cast<int>(state)));
    return state;
}

void AppDelegate::getGateway() {
    const auto helper = HelperService::shared();
    if (!helper) return;
    // The helper client answers on the main queue.
    helper->runCommand(helper::commandLine(helper::FindDefaultGateway{}),
                       [delegate = weak_from_this()](std::optional<std::string> reply) {
                           if (const auto self = delegate.lock()) self->takeGateway(std::move(reply));
                       });
}

void AppDelegate::takeGateway(std::optional<std::string> reply) {
    if (reply) std::erase(*reply, '\n');
    gateway = std::move(reply);
    const auto defaults = platform::foundation::UserDefaults::standard();
    const bool usable = gateway && !gateway->empty() && gateway->find("tun") == std::string::npos;
    if (usable) {
        if (const auto stored = defaults->set(*gateway, gatewayKey); !stored) {
            logger->error([&] { return "The gateway could not be saved: " + stored.error().message; });
        }
        if (const auto helper = HelperService::shared()) helper->backupResolvConf();
        gatewayFound();
        return;
    }
    // A tunnel's route or no answer: the last usable gateway stands in.
    if (const auto stored = defaults->string(gatewayKey); stored && !stored->empty()) {
        gateway = stored;
        gatewayFound();
        return;
    }
    // Nothing known at all: make sure a resolver file is in place and look again.
    gateway.reset();
    lookForGatewayLater();
}

void AppDelegate::gatewayFound() {
    if (const auto known = ipv4(gateway)) routeControl_.gatewayKnown(*known);
}

void AppDelegate::lookForGatewayLater() {
    // One retry loop at a time: every sign-in and every release of the route looks up the
    // gateway, and each would otherwise keep a loop of its own going.
    if (gatewayLookupDue_) return;
    gatewayLookupDue_ = true;
    if (const auto helper = HelperService::shared()) helper->checkResolvConf();
    platform::Services::current().mainQueue()->asyncAfter(2s, [delegate = weak_from_this()] {
        const auto self = delegate.lock();
        if (!self) return;
        self->gatewayLookupDue_ = false;
        self->getGateway();
    });
}

void AppDelegate::initServers(std::vector<std::shared_ptr<Server>>&& serversArray) {
    getGateway();
    const auto defaults = platform::foundation::UserDefaults::standard();
    std::size_t count = 0;
    for (const auto& server : serversArray) count += server->cities.size();
    CitiesByName cities(count);
    for (const auto& server : serversArray) {
        for (auto& city : server->cities) {
            // The group's record becomes the listed one, saving an allocation per city; one held
            // elsewhere as well is left as it is.
            if (city.use_count() > 1) city = std::make_shared<City>(*city);
            makeListed(*city, *server, *defaults);
            cities.add(std::move(city));
        }
    }
    allCities = std::move(cities).sorted();
    // The locations table lets go of the old list now rather than when it is next shown, and the
    // pages that list and the reply's reading left free go back to the system: otherwise each
    // sign-in with a large catalogue would keep another list's worth resident.
    MainWindow::shared().reloadServersListView();
    platform::foundation::FreedMemory::returnFreePages();
}

void AppDelegate::info(const std::string& message, std::string_view function, std::source_location where) {
    logger->info([&] { return message; }, {}, prq::CallSite(function, where.file_name(), where.line()));
}

std::optional<std::string> AppDelegate::savedServerAddress() const {
    if (!allCities) return std::nullopt;
    const auto hostname = UserSettings::hostname();
    for (const auto& city : *allCities) {
        if (city->domain == hostname) return city->address;
    }
    return std::nullopt;
}

void AppDelegate::removeDefaultRoute(std::function<void(bool)> completion) {
    const auto knownGateway = ipv4(gateway);
    // The engage then waits for the gateway lookup that every sign-in starts (`takeGateway`).
    if (!knownGateway) breadcrumb("removeDefaultRoute() gateway = nil");
    routeControl_.engage(knownGateway, std::move(completion));
}

void AppDelegate::engageThrough(const helper::Ipv4Address& knownGateway, std::function<void(bool)> completion) {
    breadcrumb("removeDefaultRoute()");
    info("removeDefaultRoute", "removeDefaultRoute(completion:)");
    const auto delegate = shared();
    (delegate ? *delegate : *this).addSavedServerToRoute([](bool) {});

    const auto bundle = platform::foundation::Bundle::main();
    const auto plist = bundle->pathForResource("com.corvantis.CorvantisGuard", "plist");
    const auto script = bundle->pathForResource("corvantis_guard", "sh");
    const auto helper = HelperService::shared();
    if (!plist || !script || !helper) {
        const auto where = std::source_location::current();
        logger->error([] { return "The default route stays: the kill-switch guard or the helper is missing"; }, {},
                      prq::CallSite("removeDefaultRoute(completion:)", where.file_name(), where.line()));
        return;
    }
    const auto command = helper::commandLine(helper::EngageKillSwitch{knownGateway, *plist, *script});
    helper->runCommand(command, [completion = std::move(completion)](const std::optional<std::string>&) {
        if (completion) completion(true);
    });
}

void AppDelegate::restoreDefaultRoute() {
    routeControl_.release();
    breadcrumb("restoreDefaultRoute()");
    info("restoreDefaultRoute", "restoreDefaultRoute()");
    removeSavedServerFromRoute();
    auto knownGateway = ipv4(gateway);
    if (!knownGateway) {
        breadcrumb("restoreDefaultRoute() gateway = nil");
        knownGateway = ipv4(platform::foundation::UserDefaults::standard()->string(gatewayKey));
        if (!knownGateway) {
            gateway.reset();
            lookForGatewayLater();
            return;
        }
        gateway = knownGateway->text();
    }
    send(helper::AddDefaultRoute{*knownGateway});
}

void AppDelegate::addSavedServerToRoute(std::function<void(bool)> completion) {
    const auto address = savedServerAddress();
    breadcrumb("addSavedServerToRoute() " + address.value_or(""));
    info("addSavedServerToRoute " + address.value_or(""), "addSavedServerToRoute(completion:)");
    const auto knownGateway = ipv4(gateway);
    if (const auto server = ipv4(address); server && knownGateway) send(helper::AddHostRoute{*server, *knownGateway});

    const auto helper = HelperService::shared();
    if (!helper) {
        // Nobody can answer the name-server query; the caller still goes on.
        platform::Services::current().mainQueue()->async([completion = std::move(completion)] {
            if (completion) completion(true);
        });
        return;
    }
    helper->runCommand(
        helper::commandLine(helper::ListNameServers{}),
        [delegate = weak_from_this(), completion = std::move(completion)](const std::optional<std::string>& reply) {
            const auto self = delegate.lock();
            const auto currentGateway = self ? ipv4(self->gateway) : std::nullopt;
            std::istringstream lines(reply.value_or(""));
            for (std::string line; std::getline(lines, line);) {
                const auto nameServer = ipv4(line);
                // A local stub (127.0.0.53) is reached without the gateway; the servers it asks
                // come in the same answer.
                const bool loopback = line.starts_with("127.");
                if (!nameServer || loopback || nameServer == currentGateway || line == "0.0.0.0") continue;
                if (currentGateway) send(helper::AddHostRoute{*nameServer, *currentGateway});
            }
            if (completion) completion(true);
        });
}

void AppDelegate::removeSavedServerFromRoute() {
    const auto knownGateway = ipv4(gateway);
    if (!knownGateway) {
        breadcrumb("removeSavedServerFromRoute() gateway is nil");
        return;
    }
    const auto address = ipv4(savedServerAddress());
    if (!address) return;
    breadcrumb("removeSavedServerFromRoute() " + address->text());
    info("removeSavedServerFromRoute " + address->text(), "removeSavedServerFromRoute()");
    send(helper::DeleteHostRoute{*address, *knownGateway});
}

bool AppDelegate::isShieldInForce() {
    return UserSettings::isKillSwitchEnabled() && UserSettings::isCorvantisShieldEnabled();
}

void AppDelegate::runDownScript() {
    breadcrumb("runDownScript()");
    const auto script = platform::foundation::Bundle::main()->pathForResource("down", "sh");
    if (!script) {
        const auto where = std::source_location::current();
        logger->error([] { return "The down script is missing from the bundle"; }, {},
                      prq::CallSite("runDownScript()", where.file_name(), where.line()));
        return;
    }
    // The command table quotes the path, so no character of it can end the quotes early or expand
    // in root's shell.
    send(helper::RunDownScript{*script});
}

void AppDelegate::alert(const std::string& messageText, const std::string& informativeText, const std::string& firstButtonText,
                        std::optional<std::string> secondButtonText, std::function<void(bool)> completion) {
    auto sheet = std::make_shared<platform::ui::Alert>();
    sheet->setMessageText(messageText);
    sheet->setInformativeText(informativeText);
    sheet->setAlertStyle(platform::ui::AlertStyle::warning);
    sheet->addButton(firstButtonText);
    if (secondButtonText) sheet->addButton(*secondButtonText);
    // Every screen lives in the popup's window, so the login screen's window is the popup's.
    const auto& loginView = MainWindow::shared().loginView;
    platform::ui::Window* window = loginView ? loginView->window() : nullptr;
    if (window == nullptr) return;
    // A sheet shows only with its popup: a question asked while the popup is closed (a timeout,
    // "Quit" from the item's menu) opens it, or nobody would see it.
    if (const auto& popup = MainWindow::shared().popupController; popup && !popup->isOpen()) MainWindow::shared().show();
    sheet->beginSheetModal(*window, [completion = std::move(completion)](platform::ui::ModalResponse response) {
        MainWindow::shared().show();
        if (completion) completion(response == platform::ui::ModalResponse::alertFirstButtonReturn);
    });
}

void AppDelegate::quit() {
    auto& mainWindow = MainWindow::shared();
    // Without screens nobody is signed in, so there is nothing to confirm.
    if (!mainWindow.loginView || !mainWindow.connectView || mainWindow.loginView->alphaValue() != 0) {
        platform::ui::Application::shared().terminate();
        return;
    }
    const bool connected = mainWindow.connectView->connectionState == ConnectionState::connected;
    const std::string messageText = connected ? "Are you sure you want to quit?" : "Corvantis";
    const std::string informativeText =
        connected ? "Your current VPN connection will be disconnected" : "Are you sure you want to quit?";
    alert(messageText, informativeText, "Quit", "Cancel", [delegate = weak_from_this()](bool quitting) {
        if (!quitting) return;
        if (const auto self = delegate.lock()) self->restoreDefaultRoute();
        // Both calls are written to the helper's socket before they return, so ending the run
        // loop right after loses neither.
        if (const auto helper = HelperService::shared()) helper->terminateAllVpnConnections();
        platform::ui::Application::shared().terminate();
    });
}

}  // namespace corvantis
