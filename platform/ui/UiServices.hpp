#pragma once

namespace platform {
struct ServiceProviders;
}

namespace platform::ui {

// Puts this layer's real collaborators into `providers`: text measuring, the process's pasteboard and opening URLs with xdg-open.
void provideServices(ServiceProviders& providers);

}  // namespace platform::ui
