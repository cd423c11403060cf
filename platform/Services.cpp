#include "platform/Services.hpp"

#include "platform/ServiceProviders.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
const Services& realServices() {
    static const Services services;
    return services;
}

std::atomic<const Services*> installed{nullptr};

ServiceProviders& providers() {
    static ServiceProviders providers;
    return providers;
}

// The real `name`, from the provider the program's assembly installed. Asking for one no assembly
// provided is a fault in how the program was put together: say which, and stop.
template <typename Provider>
auto provided(const Provider& provider, const char* name) {
    if (!provider) {
        std::fprintf(stderr,
                     "platform::Services: this program asked for the real %s, but its start-up assembled no %s "
                     "(main must call the assembly that provides it, e.g. platform::installApplicationServices())\n",
                     name, name);
        std::abort();
    }
    return provider();
}
}  // namespace

void installServiceProviders(ServiceProviders newProviders) {
    providers() = std::move(newProviders);
}

std::shared_ptr<dispatch::Clock> Services::clock() const {
    return clockOverride ? clockOverride : provided(providers().clock, "clock");
}

std::shared_ptr<dispatch::MainQueue> Services::mainQueue() const {
    return mainQueueOverride ? mainQueueOverride : provided(providers().mainQueue, "mainQueue");
}

std::shared_ptr<foundation::UserDefaults> Services::userDefaults() const {
    return userDefaultsOverride ? userDefaultsOverride : provided(providers().userDefaults, "userDefaults");
}

std::shared_ptr<ui::TextMeasurer> Services::textMeasurer() const {
    return textMeasurerOverride ? textMeasurerOverride : provided(providers().textMeasurer, "textMeasurer");
}

std::optional<std::filesystem::path> Services::documentsDirectory() const {
    return documentsDirectoryOverride ? documentsDirectoryOverride()
                                      : provided(providers().documentsDirectory, "documentsDirectory");
}

std::shared_ptr<foundation::ProcessLauncher> Services::processLauncher() const {
    return processLauncherOverride ? processLauncherOverride : provided(providers().processLauncher, "processLauncher");
}

std::shared_ptr<ui::Pasteboard> Services::pasteboard() const {
    return pasteboardOverride ? pasteboardOverride : provided(providers().pasteboard, "pasteboard");
}

std::shared_ptr<ui::WorkspaceOpener> Services::workspaceOpener() const {
    return workspaceOpenerOverride ? workspaceOpenerOverride : provided(providers().workspaceOpener, "workspaceOpener");
}

std::shared_ptr<foundation::Bundle> Services::mainBundle() const {
    return mainBundleOverride ? mainBundleOverride : provided(providers().mainBundle, "mainBundle");
}

dispatch::WallTime Services::wallNow() const {
    return clockOverride ? clockOverride->wallNow() : provided(providers().wallNow, "wallNow");
}

std::shared_ptr<foundation::URLSession> Services::urlSession() const {
    return urlSessionOverride ? urlSessionOverride : provided(providers().urlSession, "urlSession");
}

std::shared_ptr<security::KeychainStore> Services::keychain() const {
    return keychainOverride ? keychainOverride : provided(providers().keychain, "keychain");
}

std::shared_ptr<crashreporting::CrashReporter> Services::crashReporter() const {
    return crashReporterOverride ? crashReporterOverride : provided(providers().crashReporter, "crashReporter");
}

std::shared_ptr<const foundation::Locale> Services::locale() const {
    return localeOverride ? localeOverride : provided(providers().locale, "locale");
}

std::shared_ptr<foundation::Console> Services::console() const {
    return consoleOverride ? consoleOverride : provided(providers().console, "console");
}

std::shared_ptr<foundation::NotificationCenter> Services::notificationCenter() const {
    return notificationCenterOverride ? notificationCenterOverride
                                      : provided(providers().notificationCenter, "notificationCenter");
}

std::shared_ptr<xpc::XpcConnector> Services::xpcConnector() const {
    return xpcConnectorOverride ? xpcConnectorOverride : provided(providers().xpcConnector, "xpcConnector");
}

std::shared_ptr<servicemanagement::ServiceManager> Services::serviceManager() const {
    return serviceManagerOverride ? serviceManagerOverride : provided(providers().serviceManager, "serviceManager");
}

const Services& Services::current() {
    const Services* services = installed.load(std::memory_order_acquire);
    return services ? *services : realServices();
}

dispatch::WallTime Services::currentWallNow() {
    const Services* services = installed.load(std::memory_order_acquire);
    return services ? services->wallNow() : provided(providers().wallNow, "wallNow");  // the real record has no override
}

ScopedServices::ScopedServices(Services services)
    : services_(std::move(services)), previous_(installed.load(std::memory_order_acquire)) {
    installed.store(&services_, std::memory_order_release);
}

ScopedServices::~ScopedServices() {
    installed.store(previous_, std::memory_order_release);
}

}  // namespace platform
