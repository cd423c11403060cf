#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::foundation {

// Puts this layer's real collaborators into `providers`: the user's defaults and Documents folder, child processes, the main
// bundle, standard error and the notification centre.
void provideServices(ServiceProviders& providers);

}  // namespace platform::foundation
