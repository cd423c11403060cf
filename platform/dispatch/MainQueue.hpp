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
    // Runs posted work until `done` answers true or `timeout` of real time has passed; returns `done()`.
    bool runUntil(const std::function<bool()>& done, Duration timeout);
    // Number of items posted and not yet run.
    std::size_t pendingCount() const;

private:
    MainQueue() : DispatchQueue(mainLabel) {}
    bool runOne();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> work_;
    bool stopRequested_ = false;
};

}  // namespace platform::dispatch
