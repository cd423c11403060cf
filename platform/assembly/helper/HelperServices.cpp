#include "platform/assembly/helper/HelperServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/dispatch/DispatchServices.hpp"
#include "platform/foundation/FoundationServices.hpp"
#include "platform/security/SecurityServices.hpp"
#include "platform/servicemanagement/ServiceManagementServices.hpp"
#include "platform/xpc/XpcServices.hpp"

namespace platform {

void provideHelperServices(ServiceProviders& providers) {
    dispatch::provideServices(providers);
    foundation::provideServices(providers);
    security::provideServices(providers);
    xpc::provideServices(providers);
    servicemanagement::provideServices(providers);
}

void installHelperServices() {
    ServiceProviders providers;
    provideHelperServices(providers);
    installServiceProviders(std::move(providers));
}

}  // namespace platform
