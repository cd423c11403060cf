#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::crashreporting {

// Puts this layer's real collaborators into `providers`: the process's crash reporter.
void provideServices(ServiceProviders& providers);

}  // namespace platform::crashreporting
