#include "platform/xpc/XpcServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/xpc/XpcConnector.hpp"

namespace platform::xpc {

void provideServices(ServiceProviders& providers) {
    providers.xpcConnector = [] { return UnixSocketXpcConnector::shared(); };
}

}  // namespace platform::xpc
