#pragma once

#include "platform/Services.hpp"

namespace platform {

// Where `Services` finds the real collaborators. Each layer fills in the ones it implements
// (`dispatch::provideServices`, `foundation::provideServices`, ...), and a program's assembly
// (`installHelperServices`, `installApplicationServices`) installs the layers it links, once, at
// the start of `main`. A collaborator no assembly provided stops the program with a message
// naming it, the first time it is asked for.
struct ServiceProviders {
    std::function<std::shared_ptr<dispatch::Clock>()> clock;
    std::function<std::shared_ptr<dispatch::MainQueue>()> mainQueue;
    dispatch::WallTime (*wallNow)() = nullptr;  // a plain function: every log line asks for the time
    std::function<std::shared_ptr<foundation::UserDefaults>()> userDefaults;
    std::function<std::optional<std::filesystem::path>()> documentsDirectory;
    std::function<std::shared_ptr<foundation::ProcessLauncher>()> processLauncher;
    std::function<std::shared_ptr<foundation::Bundle>()> mainBundle;
    std::function<std::shared_ptr<foundation::Console>()> console;
    std::function<std::shared_ptr<foundation::NotificationCenter>()> notificationCenter;
    std::function<std::shared_ptr<foundation::URLSession>()> urlSession;
    std::function<std::shared_ptr<const foundation::Locale>()> locale;
    std::function<std::shared_ptr<security::KeychainStore>()> keychain;
    std::function<std::shared_ptr<xpc::XpcConnector>()> xpcConnector;
    std::function<std::shared_ptr<servicemanagement::ServiceManager>()> serviceManager;
    std::function<std::shared_ptr<crashreporting::CrashReporter>()> crashReporter;
    std::function<std::shared_ptr<ui::TextMeasurer>()> textMeasurer;
    std::function<std::shared_ptr<ui::Pasteboard>()> pasteboard;
    std::function<std::shared_ptr<ui::WorkspaceOpener>()> workspaceOpener;
};

// Makes `providers` the real collaborators for the rest of the run. Call it before any other
// thread uses the services.
void installServiceProviders(ServiceProviders providers);

}  // namespace platform
