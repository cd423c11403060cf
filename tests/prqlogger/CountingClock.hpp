#pragma once

#include "platform/dispatch/VirtualClock.hpp"

#include <atomic>
#include <chrono>

namespace corvantis::testing {

// The virtual clock's fixed time, counting how often the calendar time is asked for. With a step,
// the calendar time moves that much further at every reading (so that, say, each rotation of a
// busy log file falls into a second of its own); timers stay with the virtual clock.
class CountingClock final : public platform::dispatch::Clock {
public:
    explicit CountingClock(std::chrono::seconds stepPerReading = std::chrono::seconds(0)) : step_(stepPerReading) {}

    platform::dispatch::TimePoint now() const override { return clock_.now(); }
    platform::dispatch::WallTime wallNow() const override { return clock_.wallNow() + step_ * wallNowCalls++; }
    void schedule(platform::dispatch::TimePoint due, std::function<void()> fire) override {
        clock_.schedule(due, std::move(fire));
    }

    mutable std::atomic<int> wallNowCalls{0};

private:
    platform::dispatch::VirtualClock clock_;
    std::chrono::seconds step_;
};

}  // namespace corvantis::testing
