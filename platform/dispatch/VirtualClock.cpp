#include "platform/dispatch/VirtualClock.hpp"

namespace platform::dispatch {

VirtualClock::VirtualClock(WallTime start) : start_(start) {}

WallTime VirtualClock::defaultStart() {
    return WallTime(std::chrono::seconds(1796680940));
}

TimePoint VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return TimePoint(elapsed_);
}

WallTime VirtualClock::wallNow() const {
    std::lock_guard lock(mutex_);
    return start_ + elapsed_;
}

void VirtualClock::schedule(TimePoint due, std::function<void()> fire) {
    std::lock_guard lock(mutex_);
    entries_.add(due, std::move(fire));
}

std::size_t VirtualClock::pendingCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void VirtualClock::setDrainHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    drainHook_ = std::move(hook);
}

void VirtualClock::drain() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = drainHook_;
    }
    if (hook) hook();
}

void VirtualClock::advance(Duration amount) {
    std::unique_lock lock(mutex_);
    const Duration target = elapsed_ + amount;
    for (;;) {
        lock.unlock();
        drain();
        lock.lock();
        const auto due = entries_.nextDue();
        if (!due || due->time_since_epoch() > target) break;
        elapsed_ = std::max(elapsed_, due->time_since_epoch());
        auto fire = entries_.takeNext();
        lock.unlock();
        fire();
        lock.lock();
    }
    elapsed_ = target;
}

}  // namespace platform::dispatch
