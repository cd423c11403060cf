#include "platform/assembly/application/ApplicationServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/assembly/helper/HelperServices.hpp"
#include "platform/crashreporting/CrashReportingServices.hpp"
#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/FreedMemory.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/ui/UiServices.hpp"

namespace platform {

void installApplicationServices() {
    // A long-running process whose sign-ins come in bursts of large buffers.
    foundation::FreedMemory::keepReturningHeapTops();
    ServiceProviders providers;
    provideHelperServices(providers);
    crashreporting::provideServices(providers);
    ui::provideServices(providers);
    providers.urlSession = [] { return foundation::CurlURLSession::processSession(); };
    providers.locale = [] {
        // Read from the environment once; never destroyed, like the other process-wide collaborators.
        static auto* locale = new std::shared_ptr<const foundation::Locale>(foundation::Locale::fromEnvironment());
        return *locale;
    };
    installServiceProviders(std::move(providers));
}

}  // namespace platform
