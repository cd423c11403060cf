#pragma once

namespace platform {

struct ServiceProviders;

// The collaborators every program has (clock and queues, files and processes, the keychain, the
// helper's socket and its installation), for assemblies that add their own on top.
void provideHelperServices(ServiceProviders& providers);

// Makes the real collaborators of a program without a network client or a screen (the privileged
// helper daemon and its tools) those behind `Services`: the clock and queues, files and processes,
// the keychain, the helper's socket and its installation. Call it first thing in `main`.
void installHelperServices();

}  // namespace platform
