#include "app/Protocol.hpp"

namespace corvantis {

std::optional<Protocol> ProtocolFromRaw(int raw) {
    if (raw < 0 || raw > 2) return std::nullopt;
    return static_cast<Protocol>(raw);
}

std::string_view description(Protocol value) {
    switch (value) {
        case Protocol::L2TP: return "L2TP";
        case Protocol::OpenVPN: return "OpenVPN";
        case Protocol::IKEv2: return "IKEv2";
    }
    return {};
}

}  // namespace corvantis
