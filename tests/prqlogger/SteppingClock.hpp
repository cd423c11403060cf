#pragma once

#include "platform/dispatch/VirtualClock.hpp"

#include <atomic>
#include <chrono>

namespace corvantis::testing {

// Virtual calendar time that moves one second further at every reading, so that each rotation of
// a busy log file falls into a second of its own. Timers stay with a virtual clock that never moves.
class SteppingClock final : public platform::dispatch::Clock {
public:
    platform::dispatch::TimePoint now() const override { return timers_.now(); }
    platform::dispatch::WallTime wallNow() const override {
        return timers_.wallNow() + std::chrono::seconds(readings_.fetch_add(1, std::memory_order_relaxed));
    }
    void schedule(platform::dispatch::TimePoint due, std::function<void()> fire) override {
        timers_.schedule(due, std::move(fire));
    }

private:
    platform::dispatch::VirtualClock timers_;
    mutable std::atomic<long> readings_{0};
};

}  // namespace corvantis::testing
