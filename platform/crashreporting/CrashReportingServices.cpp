#include "platform/crashreporting/CrashReportingServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/crashreporting/CrashReporter.hpp"

namespace platform::crashreporting {

void provideServices(ServiceProviders& providers) {
    providers.crashReporter = [] {
        // Never destroyed: reports may still be sent while the process exits.
        static auto* reporter = new std::shared_ptr<CrashReporter>(std::make_shared<CrashReporter>());
        return *reporter;
    };
}

}  // namespace platform::crashreporting
