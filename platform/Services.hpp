#pragma once

#include "platform/dispatch/Clock.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

// Only the names of the collaborators (and the clock's interface): each lives in its own layer, and
// this record depends on none of them.
namespace dispatch {
class MainQueue;
}
namespace foundation {
class Bundle;
class Console;
class NotificationCenter;
class Locale;
class ProcessLauncher;
class URLSession;
class UserDefaults;
}  // namespace foundation
namespace security {
class KeychainStore;
}
namespace crashreporting {
class CrashReporter;
}
namespace servicemanagement {
class ServiceManager;
}
namespace xpc {
class XpcConnector;
}
namespace ui {
class Pasteboard;
class TextMeasurer;
class WorkspaceOpener;
}  // namespace ui

// The process's platform collaborators. A member left empty means "the real one", which the program
// assembled at start-up (see ServiceProviders.hpp); tests install a record with fakes through
// `ScopedServices`, so product code never needs a seam of its own.
struct Services {
    std::shared_ptr<dispatch::Clock> clockOverride{};
    std::shared_ptr<dispatch::MainQueue> mainQueueOverride{};
    std::shared_ptr<foundation::UserDefaults> userDefaultsOverride{};
    std::shared_ptr<ui::TextMeasurer> textMeasurerOverride{};
    std::shared_ptr<foundation::URLSession> urlSessionOverride{};
    std::shared_ptr<security::KeychainStore> keychainOverride{};
    std::shared_ptr<crashreporting::CrashReporter> crashReporterOverride{};
    std::shared_ptr<const foundation::Locale> localeOverride{};
    // Answers where the user's Documents folder is (none: no such folder is known).
    std::function<std::optional<std::filesystem::path>()> documentsDirectoryOverride{};
    std::shared_ptr<foundation::ProcessLauncher> processLauncherOverride{};
    std::shared_ptr<ui::Pasteboard> pasteboardOverride{};
    std::shared_ptr<ui::WorkspaceOpener> workspaceOpenerOverride{};
    std::shared_ptr<foundation::Bundle> mainBundleOverride{};
    std::shared_ptr<foundation::Console> consoleOverride{};
    std::shared_ptr<foundation::NotificationCenter> notificationCenterOverride{};
    std::shared_ptr<xpc::XpcConnector> xpcConnectorOverride{};
    std::shared_ptr<servicemanagement::ServiceManager> serviceManagerOverride{};

    std::shared_ptr<dispatch::Clock> clock() const;
    std::shared_ptr<dispatch::MainQueue> mainQueue() const;
    std::shared_ptr<foundation::UserDefaults> userDefaults() const;
    std::shared_ptr<ui::TextMeasurer> textMeasurer() const;
    std::optional<std::filesystem::path> documentsDirectory() const;
    std::shared_ptr<foundation::ProcessLauncher> processLauncher() const;
    // The general pasteboard; the real one is the process's own, in memory.
    std::shared_ptr<ui::Pasteboard> pasteboard() const;
    // Opens URLs in the user's browser or mail client; the real one runs xdg-open.
    std::shared_ptr<ui::WorkspaceOpener> workspaceOpener() const;
    std::shared_ptr<foundation::Bundle> mainBundle() const;
    // The clock's calendar time; unlike `clock()->wallNow()` it takes no reference to the clock,
    // which matters to callers on every thread at once (each log line asks for it).
    dispatch::WallTime wallNow() const;
    std::shared_ptr<foundation::URLSession> urlSession() const;
    std::shared_ptr<security::KeychainStore> keychain() const;
    std::shared_ptr<crashreporting::CrashReporter> crashReporter() const;
    std::shared_ptr<const foundation::Locale> locale() const;
    // The system console; the real one is standard error.
    std::shared_ptr<foundation::Console> console() const;
    std::shared_ptr<foundation::NotificationCenter> notificationCenter() const;
    // Opens the connections to the privileged helper; the real one uses its Unix socket.
    std::shared_ptr<xpc::XpcConnector> xpcConnector() const;
    // Installs and removes the privileged helper; the real one uses systemd.
    std::shared_ptr<servicemanagement::ServiceManager> serviceManager() const;

    // The record in force now.
    static const Services& current();
    // `current().wallNow()` in one call, for callers that ask many times a second (each log line).
    static dispatch::WallTime currentWallNow();
};

// Installs a record for as long as it lives and then puts the previous one back.
// Install and remove it while no other thread is using the services.
class ScopedServices {
public:
    explicit ScopedServices(Services services);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

    const Services& services() const { return services_; }

private:
    Services services_;
    const Services* previous_;
};

}  // namespace platform
