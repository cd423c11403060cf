#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/ScheduledWork.hpp"

#include <mutex>

namespace platform::dispatch {

// Time that moves only when a test says so. `advance` fires scheduled work in time order
// (first scheduled first among equal deadlines) and, after each firing, lets the main queue
// run what became ready, so work chained through several delays runs as it would in real time.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(WallTime start = defaultStart());

    // 2026-12-07 22:02:20 UTC: a fixed, ordinary moment so that dates in tests are stable.
    static WallTime defaultStart();

    TimePoint now() const override;
    WallTime wallNow() const override;
    void schedule(TimePoint due, std::function<void()> fire) override;

    // Moves time forward by `amount`, running everything that falls due on the way.
    void advance(Duration amount);
    // Runs what is due now without moving time.
    void runDue() { advance(Duration::zero()); }
    // Number of firings still waiting.
    std::size_t pendingCount() const;

    // Called whenever fired work may have made queued work ready; the main queue drains itself here.
    void setDrainHook(std::function<void()> hook);

private:
    void drain();

    mutable std::mutex mutex_;
    ScheduledWork entries_;
    Duration elapsed_{};
    const WallTime start_;
    std::function<void()> drainHook_;
};

}  // namespace platform::dispatch
