#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::xpc {

// Puts this layer's real collaborators into `providers`: connections to the helper over its Unix socket.
void provideServices(ServiceProviders& providers);

}  // namespace platform::xpc
