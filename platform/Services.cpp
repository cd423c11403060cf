#include "platform/Services.hpp"

#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SystemClock.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/SearchPaths.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "platform/servicemanagement/SystemdServiceManager.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/XdgOpenWorkspaceOpener.hpp"
#include "platform/xpc/XpcConnector.hpp"

#include <atomic>

namespace platform {

namespace {
const Services& realServices() {
    static const Services services;
    return services;
}

std::atomic<const Services*> installed{nullptr};
}  // namespace

std::shared_ptr<dispatch::Clock> Services::clock() const {
    return clockOverride ? clockOverride : dispatch::SystemClock::shared();
}

std::shared_ptr<dispatch::MainQueue> Services::mainQueue() const {
    return mainQueueOverride ? mainQueueOverride : dispatch::MainQueue::shared();
}

std::shared_ptr<foundation::UserDefaults> Services::userDefaults() const {
    return userDefaultsOverride ? userDefaultsOverride : foundation::UserDefaults::standardForCurrentUser();
}

std::shared_ptr<ui::TextMeasurer> Services::textMeasurer() const {
    return textMeasurerOverride ? textMeasurerOverride : ui::TextMeasurer::processDefault();
}

std::optional<std::filesystem::path> Services::documentsDirectory() const {
    return documentsDirectoryOverride ? documentsDirectoryOverride() : foundation::userDocumentsDirectory();
}

std::shared_ptr<foundation::ProcessLauncher> Services::processLauncher() const {
    return processLauncherOverride ? processLauncherOverride : foundation::PosixProcessLauncher::shared();
}

std::shared_ptr<ui::Pasteboard> Services::pasteboard() const {
    static const auto processPasteboard = std::make_shared<ui::Pasteboard>();
    return pasteboardOverride ? pasteboardOverride : processPasteboard;
}

std::shared_ptr<ui::WorkspaceOpener> Services::workspaceOpener() const {
    return workspaceOpenerOverride ? workspaceOpenerOverride : ui::XdgOpenWorkspaceOpener::shared();
}

std::shared_ptr<foundation::Bundle> Services::mainBundle() const {
    return mainBundleOverride ? mainBundleOverride : foundation::Bundle::forCurrentExecutable();
}

dispatch::WallTime Services::wallNow() const {
    return clockOverride ? clockOverride->wallNow() : dispatch::SystemClock::currentWallTime();
}

std::shared_ptr<foundation::URLSession> Services::urlSession() const {
    return urlSessionOverride ? urlSessionOverride : foundation::CurlURLSession::processSession();
}

std::shared_ptr<security::KeychainStore> Services::keychain() const {
    return keychainOverride ? keychainOverride : security::KeychainStore::standardForCurrentUser();
}

std::shared_ptr<crashreporting::CrashReporter> Services::crashReporter() const {
    if (crashReporterOverride) return crashReporterOverride;
    static auto* reporter = new std::shared_ptr<crashreporting::CrashReporter>(std::make_shared<crashreporting::CrashReporter>());
    return *reporter;
}

std::shared_ptr<const foundation::Locale> Services::locale() const {
    if (localeOverride) return localeOverride;
    static auto* locale = new std::shared_ptr<const foundation::Locale>(foundation::Locale::fromEnvironment());
    return *locale;
}

std::shared_ptr<foundation::Console> Services::console() const {
    return consoleOverride ? consoleOverride : foundation::StandardErrorConsole::shared();
}

std::shared_ptr<foundation::NotificationCenter> Services::notificationCenter() const {
    if (notificationCenterOverride) return notificationCenterOverride;
    static auto* center = new std::shared_ptr<foundation::NotificationCenter>(std::make_shared<foundation::NotificationCenter>());
    return *center;
}

std::shared_ptr<xpc::XpcConnector> Services::xpcConnector() const {
    return xpcConnectorOverride ? xpcConnectorOverride : xpc::UnixSocketXpcConnector::shared();
}

std::shared_ptr<servicemanagement::ServiceManager> Services::serviceManager() const {
    return serviceManagerOverride ? serviceManagerOverride : servicemanagement::SystemdServiceManager::shared();
}

const Services& Services::current() {
    const Services* services = installed.load(std::memory_order_acquire);
    return services ? *services : realServices();
}

ScopedServices::ScopedServices(Services services)
    : services_(std::move(services)), previous_(installed.load(std::memory_order_acquire)) {
    installed.store(&services_, std::memory_order_release);
}

ScopedServices::~ScopedServices() {
    installed.store(previous_, std::memory_order_release);
}

}  // namespace platform
