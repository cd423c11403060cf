#pragma once

#include <optional>

namespace corvantis {

// The tunnel's state; only the connect screen changes it.
enum class ConnectionState : int { connected = 0, connecting = 1, disconnected = 2 };

std::optional<ConnectionState> ConnectionStateFromRaw(int raw);

}  // namespace corvantis
