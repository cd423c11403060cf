#include "platform/Services.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SystemClock.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/SearchPaths.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/ui/FontMetricsMeasurer.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/XdgOpenWorkspaceOpener.hpp"

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
    return textMeasurerOverride ? textMeasurerOverride : ui::FontMetricsMeasurer::shared();
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
