#include "platform/foundation/FoundationServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/SearchPaths.hpp"
#include "platform/foundation/UserDefaults.hpp"

namespace platform::foundation {

void provideServices(ServiceProviders& providers) {
    providers.userDefaults = [] { return UserDefaults::standardForCurrentUser(); };
    providers.documentsDirectory = &userDocumentsDirectory;
    providers.processLauncher = [] { return PosixProcessLauncher::shared(); };
    providers.mainBundle = [] { return Bundle::forCurrentExecutable(); };
    providers.console = [] { return StandardErrorConsole::shared(); };
    providers.notificationCenter = [] {
        // Never destroyed: observers may still post while the process exits.
        static auto* center = new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
        return *center;
    };
}

}  // namespace platform::foundation
