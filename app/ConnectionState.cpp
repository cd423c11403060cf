#include "app/ConnectionState.hpp"

namespace corvantis {

std::optional<ConnectionState> ConnectionStateFromRaw(int raw) {
    if (raw < 0 || raw > 2) return std::nullopt;
    return static_cast<ConnectionState>(raw);
}

}  // namespace corvantis
