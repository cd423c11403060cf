#pragma once

#include "app/ConnectionState.hpp"

namespace corvantis {

// The connect screen. It owns the tunnel's state, which other parts of the application read
// through the main window; the screen's controls and the connection logic join it with the
// connection control.
class ConnectView {
public:
    ConnectionState connectionState = ConnectionState::disconnected;
};

}  // namespace corvantis
