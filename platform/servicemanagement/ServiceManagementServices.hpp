#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::servicemanagement {

// Puts this layer's real collaborators into `providers`: installing and removing the helper through systemd.
void provideServices(ServiceProviders& providers);

}  // namespace platform::servicemanagement
