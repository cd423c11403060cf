#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::security {

// Puts this layer's real collaborators into `providers`: the current user's keychain.
void provideServices(ServiceProviders& providers);

}  // namespace platform::security
