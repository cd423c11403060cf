#include "app/AppDelegate.hpp"

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "HelperService/CorvantisHelperInterface/ShellText.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/UnicodeNormalization.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>
#include <deque>
#include <sstream>
#include <string_view>

using namespace std::chrono_literals;

namespace corvantis {

namespace {
constexpr const char* findGatewayCommand = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";
constexpr const char* gatewayKey = "gateway";
constexpr const char* nameServersCommand = "scutil --dns | grep 'nameserver' | awk '{print $3}'";
constexpr const char* launchDaemons = "/Library/LaunchDaemons/";
constexpr const char* guardPlist = "com.corvantis.CorvantisGuard.plist";
constexpr const char* guardScript = "corvantis_guard.sh";

std::shared_ptr<AppDelegate>& holder() {
    static std::shared_ptr<AppDelegate> delegate;
    return delegate;
}

// A group without a country name (a code the locale does not know) is named by its code.
std::shared_ptr<City> listedCity(const Server& server, const City& city, const platform::foundation::UserDefaults& defaults) {
    auto listed = std::make_shared<City>();
    const auto code = server.countryCode.value_or("");
    const auto cityName = city.name.value_or("");
    listed->name = server.country.value_or(code) + " - " + cityName;
    listed->shortName = code + " - " + cityName;
    listed->countryCode = server.countryCode;
    listed->address = city.address;
    listed->domain = city.domain;
    listed->openvpnTcpPort = city.openvpnTcpPort;
    listed->openvpnUdpPort = city.openvpnUdpPort;
    listed->isFavourite = city.domain && defaults.string(*city.domain).has_value();
    return listed;
}

// Sorts by name as text without locale: Unicode scalar values after canonical composition,
// upper case before lower case. Stable, so sorting once at the end orders the list as sorting
// after every append would.
void sortByName(std::vector<std::shared_ptr<City>>& cities) {
    using Keyed = std::pair<std::string_view, std::shared_ptr<City>>;
    std::vector<Keyed> keyed;
    keyed.reserve(cities.size());
    // Composed forms of the names that are not plain ASCII (a deque keeps the views valid).
    std::deque<std::string> composed;
    for (auto& city : cities) {
        const std::string_view name = *city->name;  // every listed city has one
        const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) composed.push_back(platform::foundation::precomposedStringWithCanonicalMapping(name));
        keyed.emplace_back(ascii ? name : std::string_view(composed.back()), std::move(city));
    }
    // In valid UTF-8 the byte order is the order of the scalar values.
    std::ranges::stable_sort(keyed, std::less<>{}, &Keyed::first);
    for (std::size_t index = 0; index < keyed.size(); ++index) cities[index] = std::move(keyed[index].second);
}

void breadcrumb(std::string text) {
    platform::crashreporting::CrashReporter::current()->addBreadcrumb({platform::crashreporting::Level::info, std::move(text)});
}

// The value when it can go into a command for root: an IPv4 address.
std::optional<std::string> ipv4(const std::optional<std::string>& value) {
    if (!value || !helper::Ipv4Address::parse(*value)) return std::nullopt;
    return value;
}

// Sends a command whose reply nobody uses.
void send(const std::string& command) {
    if (const auto helper = HelperService::shared()) helper->runCommand(command, {});
}

}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::shared() {
    return holder();
}

void AppDelegate::setShared(std::shared_ptr<AppDelegate> delegate) {
    holder() = std::move(delegate);
}

void AppDelegate::getGateway() {
    const auto helper = HelperService::shared();
    if (!helper) return;
    // The helper client answers on the main queue.
    helper->runCommand(findGatewayCommand, [delegate = weak_from_this()](std::optional<std::string> reply) {
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
        return;
    }
    // A tunnel's route or no answer: the last usable gateway stands in.
    if (const auto stored = defaults->string(gatewayKey); stored && !stored->empty()) {
        gateway = stored;
        return;
    }
    // Nothing known at all: make sure a resolver file is in place and look again.
    gateway.reset();
    if (const auto helper = HelperService::shared()) helper->checkResolvConf();
    platform::Services::current().mainQueue()->asyncAfter(2s, [delegate = weak_from_this()] {
        if (const auto self = delegate.lock()) self->getGateway();
    });
}

void AppDelegate::initServers(const std::vector<std::shared_ptr<Server>>& serversArray) {
    getGateway();
    const auto defaults = platform::foundation::UserDefaults::standard();
    std::vector<std::shared_ptr<City>> cities;
    for (const auto& server : serversArray) {
        for (const auto& city : server->cities) cities.push_back(listedCity(*server, *city, *defaults));
    }
    sortByName(cities);
    allCities = std::move(cities);
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
    if (!knownGateway) {
        breadcrumb("removeDefaultRoute() gateway = nil");
        return;
    }
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
    const std::string command =
        "defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway " + *knownGateway + " && cp " +
        helper::ShellText::doubleQuoted(plist->string()) + " " + launchDaemons + guardPlist + " && cp " +
        helper::ShellText::doubleQuoted(script->string()) + " " + launchDaemons + guardScript +
        " && launchctl load -w " + launchDaemons + guardPlist + " ; route -n delete default " + *knownGateway;
    helper->runCommand(command, [completion = std::move(completion)](const std::optional<std::string>&) {
        if (completion) completion(true);
    });
}

void AppDelegate::restoreDefaultRoute() {
    breadcrumb("restoreDefaultRoute()");
    info("restoreDefaultRoute", "restoreDefaultRoute()");
    removeSavedServerFromRoute();
    if (!ipv4(gateway)) {
        breadcrumb("restoreDefaultRoute() gateway = nil");
        const auto stored = ipv4(platform::foundation::UserDefaults::standard()->string(gatewayKey));
        if (!stored) {
            gateway.reset();
            if (const auto helper = HelperService::shared()) helper->checkResolvConf();
            platform::Services::current().mainQueue()->asyncAfter(2s, [delegate = weak_from_this()] {
                if (const auto self = delegate.lock()) self->getGateway();
            });
            return;
        }
        gateway = stored;
    }
    send("route -n add default " + *gateway);
}

void AppDelegate::addSavedServerToRoute(std::function<void(bool)> completion) {
    const auto address = savedServerAddress();
    breadcrumb("addSavedServerToRoute() " + address.value_or(""));
    info("addSavedServerToRoute " + address.value_or(""), "addSavedServerToRoute(completion:)");
    const auto knownGateway = ipv4(gateway);
    if (ipv4(address) && knownGateway) send("route -n add -net " + *address + " " + *knownGateway);

    const auto helper = HelperService::shared();
    if (!helper) {
        // Nobody can answer the name-server query; the caller still goes on.
        platform::Services::current().mainQueue()->async([completion = std::move(completion)] {
            if (completion) completion(true);
        });
        return;
    }
    helper->runCommand(nameServersCommand, [delegate = weak_from_this(), completion = std::move(completion)](
                                               const std::optional<std::string>& reply) {
        const auto self = delegate.lock();
        const auto currentGateway = self ? ipv4(self->gateway) : std::nullopt;
        std::istringstream lines(reply.value_or(""));
        for (std::string nameServer; std::getline(lines, nameServer);) {
            if (nameServer.empty() || nameServer == currentGateway || nameServer == "0.0.0.0") continue;
            if (ipv4(nameServer) && currentGateway) send("route -n add -net " + nameServer + " " + *currentGateway);
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
    breadcrumb("removeSavedServerFromRoute() " + *address);
    info("removeSavedServerFromRoute " + *address, "removeSavedServerFromRoute()");
    send("route -n delete " + *address + " " + *knownGateway);
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
    // Quoted as the route control quotes bundle paths, so no character of the path can end the
    // quotes early or expand in root's shell.
    send("sh " + helper::ShellText::doubleQuoted(script->string()));
}

void AppDelegate::alert(const std::string& messageText, const std::string& informativeText,
                        const std::string& firstButtonText, std::optional<std::string> secondButtonText,
                        std::function<void(bool)> completion) {
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
