#include "platform/servicemanagement/ServiceManagementServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/servicemanagement/SystemdServiceManager.hpp"

namespace platform::servicemanagement {

void provideServices(ServiceProviders& providers) {
    providers.serviceManager = [] { return SystemdServiceManager::shared(); };
}

}  // namespace platform::servicemanagement
