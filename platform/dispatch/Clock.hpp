#pragma once

#include <chrono>
#include <functional>

namespace platform::dispatch {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;
using WallTime = std::chrono::time_point<std::chrono::system_clock, Duration>;

// The source of time for queues and timers. Scheduling goes through the clock so that a
// virtual clock can run delayed work deterministically in tests.
class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic time used for deadlines.
    virtual TimePoint now() const = 0;
    // Calendar time used for dates shown to people and written to files.
    virtual WallTime wallNow() const = 0;
    // Calls `fire` once at or after `due`. `fire` must be quick: it only hands work to a queue.
    virtual void schedule(TimePoint due, std::function<void()> fire) = 0;
};

}  // namespace platform::dispatch
