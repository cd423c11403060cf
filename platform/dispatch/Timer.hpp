#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <atomic>
#include <functional>
#include <memory>

namespace platform::dispatch {

// A timer on a queue (the main queue unless told otherwise). A repeating timer fires every
// `interval` until it is invalidated; the queue keeps it alive until then.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduledTimer(Duration interval, bool repeats, Block block,
                                                 DispatchQueuePtr queue = DispatchQueue::main());

    // Runs the block now; a one-shot timer is spent afterwards.
    void fire();
    void invalidate() { valid_.store(false); }
    bool isValid() const { return valid_.load(); }
    Duration interval() const { return interval_; }

private:
    Timer(Duration interval, bool repeats, Block block, DispatchQueuePtr queue);
    void arm(TimePoint due);

    const Duration interval_;
    const bool repeats_;
    Block block_;
    DispatchQueuePtr queue_;
    std::atomic<bool> valid_{true};
};

}  // namespace platform::dispatch
