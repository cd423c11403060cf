#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform::dispatch {

// The application's run loop: work posted from any thread runs on the main thread, in order,
// while `run` is looping there (or when a test drains it).
class MainQueue final : public DispatchQueue {
public:
    static std::shared_ptr<MainQueue> make();
    // The process's real main queue, alive for the whole run.
    static std::shared_ptr<MainQueue> shared();

    using DispatchQueue::async;
    void async(std::function<void()> work) override;

    // Runs posted work until `stop` is called, and returns at once if it was called before. Call
    // it on the main thread.
    void run();
    // Ends `run` after the work that is running now; safe from any thread and from queued work.
    void stop();
    // Runs everything that is ready, including what that work posts, and returns how many ran.
    std::size_t drain();
    // Runs posted work until `done` answers true (asked after each item) or `timeout` of real time
    // has passed; returns `done()`.
    bool runUntil(const std::function<bool()>& done, Duration timeout);
    // Number of items posted and not yet run.
    std::size_t pendingCount() const;

    // Runs `observer` on the main thread whenever `run` or `runUntil` has run work and finds no
    // more, before it waits: the moment to show what the work changed (a run loop's "before
    // waiting" observer). One at a time; an empty one removes it.
    void setIdleObserver(std::function<void()> observer);
    // Runs `tick` on the main thread every `interval` of real time while `run` or `runUntil`
    // loops, between pieces of work, with no thread of its own to wake it (a display's frames);
    // ticks missed behind slow work are dropped. One at a time; an empty one stops it.
    void setTicker(Duration interval, std::function<void()> tick);

private:
    MainQueue() : DispatchQueue(mainLabel) {}
    bool runOne();
    void workDone();
    bool runTickIfDue();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> work_;
    bool stopRequested_ = false;
    std::function<void()> idleObserver_;  // main thread only
    // The ticker, main thread only (read by `run`'s wait, which is on the main thread too).
    std::function<void()> tick_;
    Duration tickInterval_{};
    std::chrono::steady_clock::time_point nextTick_{};
};

}  // namespace platform::dispatch
