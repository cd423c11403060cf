#include "platform/dispatch/MainQueue.hpp"

#include <algorithm>
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

void MainQueue::setIdleObserver(std::function<void()> observer) {
    idleObserver_ = std::move(observer);
}

void MainQueue::workDone() {
    if (pendingCount() != 0 || !idleObserver_) return;
    const auto observer = idleObserver_;  // it may replace itself
    perform(observer);
}

void MainQueue::setTicker(Duration interval, std::function<void()> tick) {
    tick_ = std::move(tick);
    tickInterval_ = interval;
    nextTick_ = std::chrono::steady_clock::now() + interval;
}

bool MainQueue::runTickIfDue() {
    if (!tick_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextTick_) return false;
    // Ticks missed behind slow work are one tick, not a burst.
    nextTick_ = std::max(nextTick_ + tickInterval_, now);
    const auto tick = tick_;  // it may replace itself
    perform(tick);
    return true;
}

void MainQueue::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            const auto ready = [&] { return stopRequested_ || !work_.empty(); };
            if (tick_) {
                wake_.wait_until(lock, nextTick_, ready);
            } else {
                wake_.wait(lock, ready);
            }
            // A stop asked for before the loop started counts too (a signal during start-up);
            // taking it here leaves the next run free to go on.
            if (stopRequested_) {
                stopRequested_ = false;
                return;
            }
        }
        if (runTickIfDue()) continue;
        runOne();
        workDone();
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
        // `done` is asked after each item: work that keeps coming (a frame timer that cannot keep
        // up) must not keep a nested loop from ending.
        bool ran = false;
        while (runOne()) {
            ran = true;
            if (done()) break;
        }
        if (ran) workDone();
        runTickIfDue();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        const auto wakeAt = tick_ ? std::min(deadline, nextTick_) : deadline;
        if (!wake_.wait_until(lock, wakeAt, [&] { return !work_.empty(); }) && wakeAt == deadline) {
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
