#pragma once

#include "app/ConnectionState.hpp"
#include "platform/dispatch/Clock.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace corvantis {

// What the connect screen shows of an attempt.
enum class ConnectionLook { disconnected, connecting, connected };

// The process's one connection attempt: its state, whether and to which host its tunnel was
// started, what the helper reported of that tunnel (up, its gateway), whether the connected
// display's work was done for it, and the time by which it must have ended. It changes only
// through the events below; the connect screen draws `look()` and routes through `gateway()`.
// Every event that begins or ends an attempt gives it a new number, so that whatever still
// answers for an older one (a probe, a helper's reply, a delayed start) can be told apart.
// Main queue only.
class ConnectionAttempt {
public:
    using Number = std::uint64_t;

    // The longest an attempt may stay connecting after its click or its tunnel's start: the 40
    // checks at their pace of 2 s take about 80 s, and lookups that hang must not stretch that.
    static constexpr std::chrono::seconds bound{120};

    ConnectionState state() const { return state_; }
    Number number() const { return number_; }
    bool tunnelStarted() const { return tunnelStarted_; }
    const std::optional<std::string>& tunnelHost() const { return tunnelHost_; }
    bool tunnelReported() const { return tunnelReported_; }
    // The gateway the helper named for this attempt's tunnel; none before it did or when it named none.
    const std::optional<std::string>& gateway() const { return gateway_; }
    bool connectedDisplayShown() const { return connectedDisplayShown_; }
    std::optional<platform::dispatch::TimePoint> deadline() const { return deadline_; }

    // The display the state and the facts call for: a tunnel the helper reported up looks
    // connected while its address is still being confirmed.
    ConnectionLook look() const;

    // ---- Events
    // A connect click: a new attempt, connecting, to end by `now` + `bound`.
    void clicked(platform::dispatch::TimePoint now);
    // The tunnel is being started to `host`; the bound counts from now.
    void tunnelStarting(std::optional<std::string> host, platform::dispatch::TimePoint now);
    // The helper's answer to attempt `attempt`'s start. False, changing nothing, when that is not
    // this attempt.
    bool tunnelAnswered(Number attempt, bool up, std::optional<std::string> gateway);
    // The connected display's once-per-attempt work is being done.
    void connectedDisplayDone() { connectedDisplayShown_ = true; }
    // A public address among the servers' addresses. While connecting it confirms only a tunnel
    // this attempt started: before that, the address is an older tunnel's on its way down. True
    // when the state became connected now.
    bool addressMatched();
    // The attempt ends (a cancel, a disconnect, a failure, the time-out): what it started is being
    // taken down, so nothing of it counts any more. The state is left to the display that follows.
    void ended();
    // The state as a display or the time-out sets it; the facts stay.
    void setState(ConnectionState state) { state_ = state; }

private:
    void renumber();

    ConnectionState state_ = ConnectionState::disconnected;
    Number number_ = 0;
    bool tunnelStarted_ = false;
    std::optional<std::string> tunnelHost_;
    bool tunnelReported_ = false;
    std::optional<std::string> gateway_;
    bool connectedDisplayShown_ = false;
    std::optional<platform::dispatch::TimePoint> deadline_;
};

}  // namespace corvantis
