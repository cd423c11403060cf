#include "HelperService/CorvantisHelper/L2TPLinkState.hpp"

namespace corvantis::helper {

using platform::network::ConnectionStatus;

ConnectionStatus connectionStatusFor(const L2TPLinkState& state) {
    using State = L2TPLinkState;
    if (state.ipsec == State::Ipsec::down || state.tunnel == State::Tunnel::failed) return ConnectionStatus::disconnected;
    const bool allUp = state.ipsec == State::Ipsec::up && state.tunnel == State::Tunnel::sessionUp && state.ppp == State::Ppp::up;
    if (allUp) return ConnectionStatus::connected;
    return state.wasConnected ? ConnectionStatus::disconnected : ConnectionStatus::connecting;
}

}  // namespace corvantis::helper
