#include "platform/dispatch/MainQueue.hpp"

#include <chrono>

namespace platform::dispatch {

std::shared_ptr<MainQueue> MainQueue::make() {
    return std::shared_ptr<MainQueue>(new MainQueue());
}

std::shared_ptr<MainQueue> MainQueue::shared() {
    static auto* queue = new std::shared_ptr<MainQueue>(make());
    return *queue;
}

void MainQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        work_.push_back(std::move(work));
    }
    wake_.notify_all();
}

bool MainQueue::runOne() {
    std::function<void()> work;
    {
        std::lock_guard lock(mutex_);
        if (work_.empty()) return false;
        work = std::move(work_.front());
        work_.pop_front();
    }
    perform(work);
    return true;
}

void MainQueue::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopRequested_ || !work_.empty(); });
            // A stop asked for before the loop started counts too (a signal during start-up);
            // taking it here leaves the next run free to go on.
            if (stopRequested_) {
                stopRequested_ = false;
                return;
            }
        }
        runOne();
    }
}

void MainQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

std::size_t MainQueue::drain() {
    std::size_t count = 0;
    while (runOne()) ++count;
    return count;
}

bool MainQueue::runUntil(const std::function<bool()>& done, Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        drain();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        if (!wake_.wait_until(lock, deadline, [&] { return !work_.empty(); })) {
            lock.unlock();
            return done();
        }
    }
}

std::size_t MainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return work_.size();
}

}  // namespace platform::dispatch
