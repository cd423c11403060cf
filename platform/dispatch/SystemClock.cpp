#include "platform/dispatch/SystemClock.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <ctime>

namespace platform::dispatch {

SystemClock::SystemClock() : thread_([this] { timerLoop(); }) {}

SystemClock::~SystemClock() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::shared_ptr<SystemClock> SystemClock::shared() {
    // Never destroyed: timers may still be armed while static objects are torn down.
    static auto* clock = new std::shared_ptr<SystemClock>(std::make_shared<SystemClock>());
    return *clock;
}

TimePoint SystemClock::now() const {
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

WallTime SystemClock::wallNow() const {
    return currentWallTime();
}

WallTime SystemClock::currentWallTime() {
    // The system clock itself, as std::chrono::system_clock reads it, without the library call
    // in between: every log line asks.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return WallTime(
        std::chrono::duration_cast<Duration>(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

void SystemClock::schedule(TimePoint due, std::function<void()> fire) {
    {
        std::lock_guard lock(mutex_);
        entries_.add(due, std::move(fire));
    }
    wake_.notify_all();
}

void SystemClock::timerLoop() {
    setCurrentThreadName("com.corvantis.timer");
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (entries_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const TimePoint due = *entries_.nextDue();
        if (now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        auto fire = entries_.takeNext();
        lock.unlock();
        fire();
        lock.lock();
    }
}

}  // namespace platform::dispatch
