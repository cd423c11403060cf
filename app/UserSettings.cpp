#include "app/UserSettings.hpp"

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/HeldSecrets.hpp"
#include "app/Keychain.hpp"
#include "app/MainWindow.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <nlohmann/json.hpp>
#include <source_location>

namespace corvantis {

namespace {
using platform::foundation::UserDefaults;

constexpr const char* protocolKey = "protocol";
constexpr const char* openVpnPortKey = "openVpnPort";
constexpr const char* hostnameKey = "hostname";
constexpr const char* usernameKey = "username";
constexpr const char* passwordKey = "password";
constexpr const char* killSwitchKey = "isKillSwitchEnabled";
constexpr const char* shieldKey = "isCorvantisShieldEnabled";
constexpr const char* savedCredentialsKey = "savedCredentials";
constexpr const char* launchAtLoginKey = "launchAtLogin";
constexpr const char* deviceIdKey = "deviceId";
constexpr const char* vpnPasswordId = "com.corvantis.password";
// The keychain item of the account password (service "Corvantis", like the VPN password's).
constexpr const char* accountPasswordId = "com.corvantis.accountPassword";

// Values kept for the run only.
struct MemoryValues {
    std::optional<std::string> email;
    std::optional<std::string> plan;
    std::optional<std::string> vpnPassword;
};

MemoryValues& memory() {
    static MemoryValues values;
    return values;
}

std::shared_ptr<UserDefaults> defaults() {
    return UserDefaults::standard();
}

// The application delegate's logger; before there is a delegate, the same default logger.
std::shared_ptr<prq::PRQLogger> logger() {
    const auto delegate = AppDelegate::shared();
    return delegate ? delegate->logger : prq::PRQLogger::defaultLogger();
}

// One Info line named after the setting, with the new value as its message (none logs nothing).
void logSetting(std::string_view setting, const std::optional<std::string>& value,
                std::source_location where = std::source_location::current()) {
    logger()->info([&] { return value; }, {}, prq::CallSite(setting, where.file_name(), where.line()));
}

// A failed write is reported, never the value: it may be the user's password.
void reportWriteFailure(const platform::foundation::Expected<void>& written, const std::string& key) {
    if (written) return;
    logger()->error([&] { return "The setting \"" + key + "\" could not be saved: " + written.error().message; });
}

void store(const nlohmann::json& value, const std::string& key) {
    reportWriteFailure(defaults()->set(value, key), key);
}

void storeOrRemove(const std::optional<std::string>& value, const std::string& key) {
    reportWriteFailure(value ? defaults()->set(*value, key) : defaults()->removeObject(key), key);
}

// Earlier versions kept the account password in the clear in the settings file. Such a value
// moves to the keychain, and the settings key is removed once the keychain holds it; a keychain
// that refuses it leaves it where it was, so the user is not signed out by the move.
void movePasswordToKeychain() {
    const auto clear = defaults()->string(passwordKey);
    if (!clear || !Keychain::setPassword(*clear, accountPasswordId)) return;
    reportWriteFailure(defaults()->removeObject(passwordKey), passwordKey);
}

std::optional<std::vector<std::shared_ptr<City>>> cityList() {
    const auto delegate = AppDelegate::shared();
    if (!delegate) return std::nullopt;
    return delegate->allCities;
}

// No connect screen yet means no tunnel yet.
ConnectionState connectionState() {
    const auto& view = MainWindow::shared().connectView;
    return view ? view->connectionState : ConnectionState::disconnected;
}

void removeDefaultRoute() {
    if (const auto delegate = AppDelegate::shared()) delegate->removeDefaultRoute([](bool) {});
}

void restoreDefaultRoute() {
    if (const auto delegate = AppDelegate::shared()) delegate->restoreDefaultRoute();
}

// Registers this computer and stores its new id. A success carries `message` (the text that
// made a re-registration necessary, or nothing).
void registerAndStore(std::string message, std::function<void(bool, const std::string&, const std::string&)> result) {
    ApiService::registerDevice([message = std::move(message), result = std::move(result)](
                                   bool success, const std::string& failure, const std::string& deviceId) {
        if (!success) {
            result(false, ApiService::errorMessage("getDeviceId", ApiServiceError::error(failure)), "");
            return;
        }
        UserSettings::setDeviceId(deviceId);
        result(true, message, deviceId);
    });
}
}  // namespace

std::optional<std::string> UserSettings::email() {
    return memory().email;
}

void UserSettings::setEmail(std::optional<std::string> value) {
    memory().email = std::move(value);
}

std::optional<std::string> UserSettings::plan() {
    return memory().plan;
}

void UserSettings::setPlan(std::optional<std::string> value) {
    memory().plan = std::move(value);
}

std::optional<std::string> UserSettings::vpnPassword() {
    return memory().vpnPassword;
}

void UserSettings::setVpnPassword(std::optional<std::string> value) {
    // Every profile reply hands the password again; the keychain is written only when it
    // changes (a write is several calls of the Secret Service). Once this run has stored or
    // read it, memory knows what the keychain holds.
    const bool unchanged = value && (memory().vpnPassword == value || Keychain::passwordStringForVPNID(vpnPasswordId) == value);
    memory().vpnPassword = value;
    if (!value) return;
    HeldSecrets::remember(*value);
    if (!unchanged) Keychain::setPassword(*value, vpnPasswordId);
}

Protocol UserSettings::savedProtocol() {
    // The stored choice is kept, but the application runs OpenVPN whatever it says.
    return Protocol::OpenVPN;
}

void UserSettings::setSavedProtocol(Protocol value) {
    store(static_cast<int>(value), protocolKey);
    logSetting("savedProtocol", std::to_string(static_cast<int>(value)));
}

OpenVPNPort UserSettings::savedOpenVPNPort() {
    return defaults()->boolValue(openVpnPortKey) ? OpenVPNPort::TCP : OpenVPNPort::UDP;
}

void UserSettings::setSavedOpenVPNPort(OpenVPNPort value) {
    store(value == OpenVPNPort::TCP, openVpnPortKey);
    logSetting("savedOpenVPNPort", std::string(rawValue(value)));
}

std::optional<std::string> UserSettings::hostname() {
    const auto cities = cityList();
    if (!cities || cities->empty()) return std::string();
    if (auto stored = defaults()->string(hostnameKey)) return stored;
    return cities->front()->domain;
}

void UserSettings::setHostname(std::optional<std::string> value) {
    storeOrRemove(value, hostnameKey);
    logSetting("hostname", value);
}

std::optional<std::string> UserSettings::serverName() {
    const auto cities = cityList();
    if (!cities || cities->empty()) return std::nullopt;
    const auto& first = cities->front();
    const auto host = hostname();
    if (!host) return first->shortName;
    for (const auto& city : *cities) {
        if (city->domain == host) return city->shortName ? city->shortName : first->shortName;
    }
    return first->shortName;
}

std::optional<std::string> UserSettings::username() {
    return defaults()->string(usernameKey).value_or("");
}

void UserSettings::setUsername(std::optional<std::string> value) {
    storeOrRemove(value, usernameKey);
}

std::optional<std::string> UserSettings::password() {
    movePasswordToKeychain();
    auto stored = Keychain::passwordStringForVPNID(accountPasswordId);
    if (!stored) stored = defaults()->string(passwordKey).value_or("");
    HeldSecrets::remember(*stored);
    return stored;
}

void UserSettings::setPassword(std::optional<std::string> value) {
    // The keychain keeps the password, never the settings file; an empty one is no password.
    HeldSecrets::remember(value.value_or(""));
    if (!Keychain::setPassword(value.value_or(""), accountPasswordId)) {
        logger()->error([] { return std::string("The setting \"password\" could not be saved in the keychain"); });
    }
    reportWriteFailure(defaults()->removeObject(passwordKey), passwordKey);
}

bool UserSettings::isUsernameStored() {
    return defaults()->string(usernameKey).has_value();
}

bool UserSettings::isPasswordStored() {
    movePasswordToKeychain();
    return Keychain::passwordStringForVPNID(accountPasswordId) || defaults()->string(passwordKey);
}

bool UserSettings::isKillSwitchEnabled() {
    return defaults()->boolValue(killSwitchKey);
}

void UserSettings::setIsKillSwitchEnabled(bool value) {
    logSetting("isKillSwitchEnabled", value ? "true" : "false");
    store(value, killSwitchKey);
    if (!value) {
        restoreDefaultRoute();
        return;
    }
    if (connectionState() != ConnectionState::disconnected) removeDefaultRoute();
    if (AppDelegate::isShieldInForce() && connectionState() == ConnectionState::disconnected) removeDefaultRoute();
}

bool UserSettings::isCorvantisShieldEnabled() {
    return defaults()->boolValue(shieldKey);
}

void UserSettings::setIsCorvantisShieldEnabled(bool value) {
    store(value, shieldKey);
    if (connectionState() != ConnectionState::disconnected) return;
    if (!value) {
        restoreDefaultRoute();
    } else if (AppDelegate::isShieldInForce()) {
        // Without the kill switch the Shield takes nothing away, whatever its box says.
        removeDefaultRoute();
    }
}

bool UserSettings::savedCredentials() {
    return defaults()->boolValue(savedCredentialsKey);
}

void UserSettings::setSavedCredentials(bool value) {
    store(value, savedCredentialsKey);
}

std::optional<bool> UserSettings::launchOnLogin() {
    return defaults()->boolValue(launchAtLoginKey);
}

void UserSettings::setLaunchOnLogin(std::optional<bool> value) {
    const auto helper = HelperService::shared();
    if (!value || !helper) return;
    const helper::RootCommand command =
        *value ? helper::RootCommand(helper::AddLoginItem{}) : helper::RootCommand(helper::DeleteLoginItem{});
    helper->runCommand(helper::commandLine(command),
                       [enabled = *value](const std::optional<std::string>&) { store(enabled, launchAtLoginKey); });
}

void UserSettings::getDefaultGateway(std::function<void(const std::string&)> result) {
    const auto helper = HelperService::shared();
    if (!helper) {
        // Without the helper there is nothing to ask; answer like a helper that found nothing.
        platform::Services::current().mainQueue()->async([result = std::move(result)] { result(""); });
        return;
    }
    helper->runCommand(helper::commandLine(helper::ListResolverSecondFields{}),
                       [result = std::move(result)](const std::optional<std::string>& reply) { result(reply.value_or("")); });
}

void UserSettings::setDeviceId(const std::string& id) {
    store(id, deviceIdKey);
}

void UserSettings::getDeviceId(std::function<void(bool, const std::string&, const std::string&)> result) {
    const auto stored = defaults()->string(deviceIdKey);
    if (!stored) {
        registerAndStore("", std::move(result));
        return;
    }
    ApiService::validateDevice(*stored, [stored = *stored, result = std::move(result)](bool success, const std::string& message) {
        if (success) {
            result(true, "", stored);
        } else if (message.find("Unregistered device") != std::string::npos) {
            registerAndStore(message, result);
        } else {
            result(false, message, "");
        }
    });
}

}  // namespace corvantis
