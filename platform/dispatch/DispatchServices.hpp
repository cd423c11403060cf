#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::dispatch {

// Puts this layer's real collaborators into `providers`: the system clock and the main queue.
void provideServices(ServiceProviders& providers);

}  // namespace platform::dispatch
