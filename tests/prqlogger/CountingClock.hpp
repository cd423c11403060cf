#pragma once

#include "platform/dispatch/VirtualClock.hpp"

#include <atomic>

namespace corvantis::testing {

// The virtual clock's fixed time, counting how often the calendar time is asked for.
class CountingClock final : public platform::dispatch::Clock {
public:
    platform::dispatch::TimePoint now() const override { return clock_.now(); }
    platform::dispatch::WallTime wallNow() const override {
        ++wallNowCalls;
        return clock_.wallNow();
    }
    void schedule(platform::dispatch::TimePoint due, std::function<void()> fire) override {
        clock_.schedule(due, std::move(fire));
    }

    mutable std::atomic<int> wallNowCalls{0};

private:
    platform::dispatch::VirtualClock clock_;
};

}  // namespace corvantis::testing
