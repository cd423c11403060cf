#include "app/ConnectionAttempt.hpp"

namespace corvantis {

ConnectionLook ConnectionAttempt::look() const {
    switch (state_) {
        case ConnectionState::connected: return ConnectionLook::connected;
        case ConnectionState::connecting: return tunnelReported_ ? ConnectionLook::connected : ConnectionLook::connecting;
        case ConnectionState::disconnected: break;
    }
    return ConnectionLook::disconnected;
}

void ConnectionAttempt::renumber() {
    const auto next = number_ + 1;
    const auto state = state_;
    *this = ConnectionAttempt{};
    number_ = next;
    state_ = state;
}

void ConnectionAttempt::clicked(platform::dispatch::TimePoint now) {
    renumber();
    deadline_ = now + bound;
}

void ConnectionAttempt::tunnelStarting(std::optional<std::string> host, platform::dispatch::TimePoint now) {
    tunnelStarted_ = true;
    tunnelHost_ = std::move(host);
    deadline_ = now + bound;
}

bool ConnectionAttempt::tunnelAnswered(Number attempt, bool up, std::optional<std::string> gateway) {
    if (attempt != number_) return false;
    if (up) {
        tunnelReported_ = true;
        gateway_ = std::move(gateway);
    }
    return true;
}

bool ConnectionAttempt::addressMatched() {
    if (state_ == ConnectionState::connected) return false;
    if (state_ == ConnectionState::connecting && !tunnelStarted_) return false;
    state_ = ConnectionState::connected;
    deadline_.reset();
    return true;
}

void ConnectionAttempt::ended() {
    renumber();
}

}  // namespace corvantis
